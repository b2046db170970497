#pragma once
// Texts of the message boxes of the calculator windows.

namespace reef::calc {

inline constexpr const char* kErrorCaption = "Error: Reef - Tools";
inline constexpr const char* kWindowFailedMessage = "Fenster konnte nicht geöffnet werden!";

} // namespace reef::calc

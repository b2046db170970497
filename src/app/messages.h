#pragma once
// Texts of the message boxes the shell shows.

#ifndef REEF_VERSION
#error "REEF_VERSION must be defined by the build"
#endif

namespace reef::app {

inline constexpr const char* kQuestionCaption = "Reef - Tools";
inline constexpr const char* kProxyLoadFailedMessage = "Konnte Daten für Proxy nicht laden!";
inline constexpr const char* kSocketsFailedMessage =
    "Konnte Netzwerkbefehle nicht initialisieren!\nFeature ''Flottenlisten'' deaktiviert";
inline constexpr const char* kQuitQuestion = "Programm wirklich beenden?";
inline constexpr const char* kTrayTooltip = "Reef-Tool " REEF_VERSION;

} // namespace reef::app

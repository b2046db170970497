#pragma once
// The browser page: its HTML, style and script, compiled into the server so that it needs no
// files and loads nothing from elsewhere.

#include <string>
#include <string_view>

namespace reef::listserver {

inline constexpr std::string_view kWebScriptPath = "/app.js";
inline constexpr std::string_view kWebStylePath = "/app.css";

// The password form; `message` (UTF-8) is shown above it, escaped.
std::string loginPage(std::string_view message);
// The page of both lists of one alliance (name in UTF-8, escaped); the script fills it.
std::string listsPage(std::string_view allianceName);

std::string_view webScript();
std::string_view webStyle();

} // namespace reef::listserver

#pragma once

#include <string>
#include <string_view>

namespace reef::app {

// The first argument after the program's own path. Arguments are separated by blanks; one in
// double quotes may hold blanks and is taken without its quotes.
std::string firstArgument(std::string_view commandLine);

// True when the program is to read "Proxy.dat": the first argument is exactly "Proxy".
bool proxySwitchGiven(std::string_view commandLine);

} // namespace reef::app

#include "app/command_line.h"

namespace reef::app {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Reads one argument starting at `pos` (blanks before it skipped); leaves `pos` behind it.
std::string nextArgument(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && isBlank(line[pos])) {
        ++pos;
    }
    std::string argument;
    bool quoted = false;
    for (; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            quoted = !quoted;
        } else if (isBlank(c) && !quoted) {
            break;
        } else {
            argument.push_back(c);
        }
    }
    return argument;
}

} // namespace

std::string firstArgument(std::string_view commandLine) {
    std::size_t pos = 0;
    nextArgument(commandLine, pos); // the program's own path
    return nextArgument(commandLine, pos);
}

bool proxySwitchGiven(std::string_view commandLine) {
    return firstArgument(commandLine) == "Proxy";
}

} // namespace reef::app

#include "platform/process.h"

namespace reef::platform {

std::string processCommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        if (i > 0) {
            line.push_back(' ');
        }
        const bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
        line += quote ? "\"" + argument + "\"" : argument;
    }
    return line;
}

} // namespace reef::platform

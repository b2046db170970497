#pragma once
// listserver/admin: what the admin commands need beside the service: the password prompt,
// the demo alliance and the lines of Server.dat. Uses listserver/core and listserver/http (the
// listening address).
//
// The list password an admin gives to "alliance add" and "alliance password".

#include <string>

namespace reef::listserver {

// At a terminal: asked twice without echo, and the two must agree (a typo would lock the
// alliance out). Ctrl+C ends the program as usual, with the terminal as it was. From a pipe or
// a file: one line. Throws std::runtime_error with a text for the admin when there is no
// password, the two differ, or passwordProblem() refuses it.
std::string readNewPassword(const std::string& allianceName);

// One line typed at the terminal on standard input, without echo. Nothing when the admin
// ended it with Ctrl+D on an empty line. Ctrl+C restores the terminal and raises SIGINT;
// SIGTERM, SIGHUP and SIGQUIT are held while the echo is off, so they too find the terminal
// restored.
bool readHiddenLine(const std::string& prompt, std::string& line);

} // namespace reef::listserver

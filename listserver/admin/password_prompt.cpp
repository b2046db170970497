#include "listserver/admin/password_prompt.h"

#include "listserver/core/server_key.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <pthread.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace reef::listserver {

namespace {

void say(const std::string& text) {
    (void)!::write(STDERR_FILENO, text.data(), text.size());
}

enum class Typed { Line, Ended, Interrupted };

// Reads with the terminal in the quiet mode: byte by byte, the line editing done here.
Typed readQuietly(const termios& normal, std::string& line) {
    for (;;) {
        unsigned char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return line.empty() ? Typed::Ended : Typed::Line;
        if (c == '\n' || c == '\r')
            return Typed::Line;
        if (c == normal.c_cc[VINTR] || c == normal.c_cc[VQUIT])
            return Typed::Interrupted;
        if (c == normal.c_cc[VEOF]) {
            if (line.empty())
                return Typed::Ended;
            continue;
        }
        if (c == normal.c_cc[VERASE] || c == 0x7f || c == 0x08) {
            if (!line.empty())
                line.pop_back();
            continue;
        }
        if (c == normal.c_cc[VKILL]) {
            line.clear();
            continue;
        }
        line.push_back(static_cast<char>(c));
    }
}

} // namespace

bool readHiddenLine(const std::string& prompt, std::string& line) {
    termios normal{};
    if (::tcgetattr(STDIN_FILENO, &normal) != 0)
        throw std::runtime_error(std::string("cannot switch off the echo of the terminal (") +
                                 std::strerror(errno) + "), so the password is not asked");
    sigset_t held;
    sigset_t previous;
    sigemptyset(&held);
    for (int signal : {SIGTERM, SIGHUP, SIGQUIT, SIGINT, SIGTSTP})
        sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &previous);
    termios quiet = normal;
    // No echo, and the keys that would stop the program come here as bytes, so that the
    // terminal is restored before the program ends.
    quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ICANON | ISIG));
    quiet.c_cc[VMIN] = 1;
    quiet.c_cc[VTIME] = 0;
    if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) {
        const int error = errno;
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        throw std::runtime_error(std::string("cannot switch off the echo of the terminal (") +
                                 std::strerror(error) + "), so the password is not asked");
    }
    say(prompt);
    line.clear();
    Typed typed = Typed::Interrupted;
    try {
        typed = readQuietly(normal, line);
    } catch (...) {
        typed = Typed::Interrupted;
    }
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &normal);
    say("\n");
    pthread_sigmask(SIG_SETMASK, &previous, nullptr); // held signals act now
    if (typed == Typed::Interrupted) {
        line.clear();
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        throw std::runtime_error("interrupted");
    }
    return typed == Typed::Line;
}

std::string readNewPassword(const std::string& allianceName) {
    std::string password;
    if (::isatty(STDIN_FILENO)) {
        if (!readHiddenLine("Password for \"" + allianceName + "\": ", password))
            throw std::runtime_error("no password given");
        std::string problem = passwordProblem(password);
        if (!problem.empty())
            throw std::runtime_error(problem);
        std::string again;
        if (!readHiddenLine("The same password again: ", again) || again != password)
            throw std::runtime_error("the two passwords differ; nothing was changed");
        return password;
    }
    if (!std::getline(std::cin, password) && password.empty())
        throw std::runtime_error("no password on standard input");
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    std::string problem = passwordProblem(password);
    if (!problem.empty())
        throw std::runtime_error(problem);
    return password;
}

} // namespace reef::listserver

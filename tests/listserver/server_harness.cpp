#include "listserver/server_harness.h"

#include "listserver/program_reading.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef REEF_LISTSERVER_BINARY
#error "REEF_LISTSERVER_BINARY must name the reef-listserver executable"
#endif

namespace reef::listserver::testing {

TempDir::TempDir() {
    char pattern[] = "/tmp/reef-listserver-test-XXXXXX";
    if (!::mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

namespace {

std::vector<char*> argvOf(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

int exitCodeOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

CommandResult runListServer(const std::vector<std::string>& args, const std::string& stdinText) {
    std::vector<std::string> all{REEF_LISTSERVER_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    int input[2];
    int output[2];
    if (::pipe(input) != 0 || ::pipe(output) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(input[0], STDIN_FILENO);
        ::dup2(output[1], STDOUT_FILENO);
        ::dup2(output[1], STDERR_FILENO);
        ::close(input[0]);
        ::close(input[1]);
        ::close(output[0]);
        ::close(output[1]);
        auto argv = argvOf(all);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(input[0]);
    ::close(output[1]);
    std::signal(SIGPIPE, SIG_IGN);
    (void)!::write(input[1], stdinText.data(), stdinText.size());
    ::close(input[1]);
    CommandResult result;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(output[0], buffer, sizeof buffer)) > 0)
        result.output.append(buffer, static_cast<std::size_t>(n));
    ::close(output[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = exitCodeOf(status);
    return result;
}

ServerProcess::ServerProcess(const std::string& db, const std::string& logFile,
                             std::vector<std::string> extraArgs)
    : logFile_(logFile) {
    std::vector<std::string> all{REEF_LISTSERVER_BINARY, "serve", "--listen",
                                 "127.0.0.1:0",          "--db",  db};
    all.insert(all.end(), extraArgs.begin(), extraArgs.end());
    pid_ = ::fork();
    if (pid_ == 0) {
        int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(log, STDOUT_FILENO);
        ::dup2(log, STDERR_FILENO);
        auto argv = argvOf(all);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    // Wait for this start's "listening on" line; a restart appends to the same log.
    std::size_t alreadyThere = log().size();
    for (int attempt = 0; attempt < 3000; ++attempt) {
        std::string text = log().substr(alreadyThere);
        std::size_t at = text.find("listening on 127.0.0.1:");
        // Only a whole line: the port may not have been written yet.
        if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
            port_ = static_cast<std::uint16_t>(
                std::atoi(text.c_str() + at + std::strlen("listening on 127.0.0.1:")));
            return;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

void ServerProcess::signal(int number) {
    if (pid_ > 0)
        ::kill(pid_, number);
}

int ServerProcess::wait() {
    if (pid_ <= 0)
        return -1;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return exitCodeOf(status);
}

std::string ServerProcess::log() const {
    return readFile(logFile_);
}

namespace {

// A connected socket to the server on loopback, from sourceAddress when one is given.
int connectTo(std::uint16_t port, const std::string& sourceAddress) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    // Generous limit against a hang; no test depends on how long an answer takes.
    timeval limit{60, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (!sourceAddress.empty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, sourceAddress.c_str(), &local.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd);
            throw std::runtime_error("bind to " + sourceAddress + " failed");
        }
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        ::close(fd);
        throw std::runtime_error(std::string("connect failed: ") + std::strerror(errno));
    }
    return fd;
}

} // namespace

std::string exchange(std::uint16_t port, const std::string& request,
                     const std::string& sourceAddress) {
    const int fd = connectTo(port, sourceAddress);
    std::size_t sent = 0;
    while (sent < request.size()) {
        ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break; // the server may refuse early; read what it answered
        sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    char buffer[16384];
    for (;;) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return answer;
}

HttpAnswer parseAnswer(const std::string& raw) {
    HttpAnswer answer;
    std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos)
        return answer;
    answer.received = true;
    std::string head = raw.substr(0, end);
    answer.body = raw.substr(end + 4);
    std::size_t lineEnd = head.find("\r\n");
    answer.statusLine = head.substr(0, lineEnd);
    while (lineEnd != std::string::npos) {
        std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        std::string line =
            head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ')
            value.erase(0, 1);
        answer.headers[name] = value;
    }
    return answer;
}

StreamingConnection::StreamingConnection(std::uint16_t port, const std::string& request,
                                         const std::string& sourceAddress)
    : fd_(connectTo(port, sourceAddress)) {
    std::size_t sent = 0;
    while (sent < request.size()) {
        ssize_t n = ::send(fd_, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<std::size_t>(n);
    }
}

StreamingConnection::~StreamingConnection() {
    ::close(fd_);
}

bool StreamingConnection::waitFor(const std::string& text, double seconds) {
    using namespace std::chrono;
    const auto until =
        steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(seconds));
    for (;;) {
        const std::size_t found = received_.find(text, looked_);
        if (found != std::string::npos) {
            looked_ = found + text.size();
            return true;
        }
        const auto left = duration_cast<milliseconds>(until - steady_clock::now()).count();
        if (closed_ || left <= 0)
            return false;
        pollfd readable{fd_, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left)) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0)
            closed_ = true;
        else
            received_.append(buffer, static_cast<std::size_t>(n));
    }
}

HttpAnswer get(std::uint16_t port, const std::string& target, const std::string& sourceAddress) {
    return parseAnswer(exchange(port, "GET " + target + " HTTP/1.0\r\n\r\n", sourceAddress));
}

std::vector<std::vector<std::string>> parseListBody(const std::string& body) {
    return readListLikeTheProgram(body);
}

std::int64_t localWallNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return static_cast<std::int64_t>(now) + local.tm_gmtoff;
}

} // namespace reef::listserver::testing

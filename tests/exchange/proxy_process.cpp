#include "exchange/proxy_process.h"

#include "platform/connection/tcp_peer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace reef::testing {

namespace {

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// A port nobody listens on right now. Another process could take it before the proxy does;
// the start is then retried with a new port.
std::uint16_t freePort() {
    PeerListener probe;
    return probe.valid() ? probe.port() : 0;
}

bool acceptsConnections(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// Processes a proxy leaves behind (danted's helpers) become children of this process, so
// that they can be reaped here instead of lingering.
void adoptOrphans() {
    static const bool done = [] {
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        return true;
    }();
    (void)done;
}

} // namespace

std::string findProgram(const std::string& name) {
    std::vector<std::string> folders;
    if (const char* path = std::getenv("PATH")) {
        std::stringstream list(path);
        for (std::string folder; std::getline(list, folder, ':');) {
            folders.push_back(folder);
        }
    }
    folders.push_back("/usr/sbin");
    folders.push_back("/usr/bin");
    for (const std::string& folder : folders) {
        const std::string candidate = folder + "/" + name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

ProxyProcess::ProxyProcess(std::string program, std::vector<std::string> arguments,
                           std::vector<ConfigFile> configs) {
    adoptOrphans();
    char pattern[] = "/tmp/reef-proxy-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        problem_ = "no temporary folder";
        return;
    }
    dir_ = pattern;
    // The folder is readable by the unprivileged user a proxy started as root may switch to.
    std::filesystem::permissions(dir_, std::filesystem::perms::all);
    const std::string path = findProgram(program);
    if (path.empty()) {
        problem_ = program + " is not installed";
        return;
    }
    for (int tries = 0; tries < 5 && !ready_; ++tries) {
        ready_ = start(path, arguments, configs);
    }
}

ProxyProcess::~ProxyProcess() {
    stop();
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

bool ProxyProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<ConfigFile>& configs) {
    stop();
    port_ = freePort();
    if (port_ == 0) {
        problem_ = "no free port";
        return false;
    }
    const auto fill = [this](const std::string& text) {
        return replaceAll(replaceAll(text, "{port}", std::to_string(port_)), "{dir}", dir_);
    };
    for (const ConfigFile& config : configs) {
        std::ofstream(dir_ + "/" + config.name) << fill(config.text);
    }
    std::vector<std::string> argv{program};
    for (const std::string& argument : arguments) {
        argv.push_back(fill(argument));
    }
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string outputPath = dir_ + "/output.txt";
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A process group of its own, so that stop() reaches every process the proxy starts.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, &attributes, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        problem_ = "cannot start " + program + ": " + std::strerror(spawned);
        return false;
    }
    pid_ = pid;

    // Bounded wait for the proxy to listen; it gives up early when the proxy has ended.
    for (int i = 0; i < 500; ++i) {
        if (acceptsConnections(port_)) {
            return true;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            problem_ = program + " ended at start:\n" + output();
            // What it forked may live on in its process group.
            stop();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    problem_ = program + " does not listen on port " + std::to_string(port_) + ":\n" + output();
    return false;
}

void ProxyProcess::stop() {
    if (pid_ <= 0) {
        return;
    }
    const pid_t group = pid_;
    ::kill(-group, SIGTERM);
    // Reap the whole group: first gently, then with SIGKILL for whatever is left.
    for (int i = 0; i < 200; ++i) {
        int status = 0;
        const pid_t ended = ::waitpid(-group, &status, WNOHANG);
        if (ended < 0 && errno == ECHILD) {
            pid_ = -1;
            return;
        }
        if (ended == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ::kill(-group, SIGKILL);
    int status = 0;
    while (::waitpid(-group, &status, 0) > 0 || errno == EINTR) {
    }
    pid_ = -1;
}

std::string ProxyProcess::output() const {
    std::ifstream file(dir_ + "/output.txt");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace reef::testing

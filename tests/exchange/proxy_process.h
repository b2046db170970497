#pragma once
// A real proxy server (tinyproxy, danted, microsocks) started for one test on a free
// loopback port and stopped with all its processes when the test ends, failed or not.
// POSIX only.

#include <cstdint>
#include <string>
#include <vector>

namespace reef::testing {

class ProxyProcess {
  public:
    // Writes each config file into a fresh temporary folder: "{port}" and "{dir}" in its
    // text become the chosen port and the folder. "{port}" and "{dir}" in the arguments
    // likewise. The program is looked up on PATH, /usr/sbin and /usr/bin.
    struct ConfigFile {
        std::string name;
        std::string text;
    };
    ProxyProcess(std::string program, std::vector<std::string> arguments,
                 std::vector<ConfigFile> configs = {});
    ~ProxyProcess();
    ProxyProcess(const ProxyProcess&) = delete;
    ProxyProcess& operator=(const ProxyProcess&) = delete;

    // True once the proxy accepts connections on its port.
    bool ready() const { return ready_; }
    std::uint16_t port() const { return port_; }
    // Why it is not ready, with what the program wrote to its output, for failure messages.
    const std::string& problem() const { return problem_; }
    std::string output() const;

  private:
    bool start(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<ConfigFile>& configs);
    void stop();

    std::string dir_;
    std::uint16_t port_ = 0;
    int pid_ = -1;
    bool ready_ = false;
    std::string problem_;
};

// Where a Debian package installs the program, or "" when it is not there.
std::string findProgram(const std::string& name);

} // namespace reef::testing

#pragma once
// Runs the real reef-listserver binary for tests and talks HTTP/1.0 to it over POSIX sockets.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace reef::listserver::testing {

// A folder under /tmp, removed with everything in it at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

struct CommandResult {
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

// Runs reef-listserver with the arguments, stdinText on its standard input, and waits.
CommandResult runListServer(const std::vector<std::string>& args, const std::string& stdinText);

// reef-listserver serve on 127.0.0.1 with a port the system picks, stderr in a log file.
class ServerProcess {
  public:
    ServerProcess(const std::string& db, const std::string& logFile,
                  std::vector<std::string> extraArgs = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool started() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    void signal(int number);
    // Waits for the process to end; its exit code, or 128 + signal.
    int wait();
    std::string log() const;

  private:
    int pid_ = -1;
    std::uint16_t port_ = 0;
    std::string logFile_;
};

struct HttpAnswer {
    bool received = false; // a complete header arrived
    std::string statusLine;
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
};

// Sends the bytes as they are and reads until the server closes the connection.
// sourceAddress: the local address to send from (another client address on loopback).
std::string exchange(std::uint16_t port, const std::string& request,
                     const std::string& sourceAddress = "");
HttpAnswer parseAnswer(const std::string& raw);

// A connection whose answer is read as it comes (a live stream): sends the request at once,
// then reads on request.
class StreamingConnection {
  public:
    StreamingConnection(std::uint16_t port, const std::string& request,
                        const std::string& sourceAddress = "");
    ~StreamingConnection();
    StreamingConnection(const StreamingConnection&) = delete;
    StreamingConnection& operator=(const StreamingConnection&) = delete;

    // Reads until what arrived since the last wait holds `text`, the server closes the
    // connection, or `seconds` pass; true when the text came. Everything arrived so far
    // stays in received().
    bool waitFor(const std::string& text, double seconds);
    // Whether the server has closed the connection (found by a read).
    bool closed() const { return closed_; }
    const std::string& received() const { return received_; }
    HttpAnswer answer() const { return parseAnswer(received_); }

  private:
    int fd_ = -1;
    bool closed_ = false;
    std::string received_;
    std::size_t looked_ = 0; // where the next wait begins to look
};
// "GET <target> HTTP/1.0\r\n\r\n", the way the desktop program sends it.
HttpAnswer get(std::uint16_t port, const std::string& target,
               const std::string& sourceAddress = "");

// The records of a list body, each 15 field values, read by the desktop program's rule; throws
// when the frame is broken or bytes are left over.
std::vector<std::vector<std::string>> parseListBody(const std::string& body);

// The local wall-clock time as seconds since 1970 without zone shift.
std::int64_t localWallNow();

} // namespace reef::listserver::testing

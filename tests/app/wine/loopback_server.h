#pragma once
// A peer of the program on a loopback port of its own: every connection it accepts goes to the
// probe's handler, which says whether the connection is done (closed at once) or is to be kept
// open until the server ends. Include after <winsock2.h>.

#include <winsock2.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace reef::probe {

class LoopbackServer {
  public:
    // Runs on the accepting thread; true: the connection is done.
    using Handler = std::function<bool(SOCKET client)>;

    explicit LoopbackServer(Handler handler) : handler_(std::move(handler)) {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (listener_ == INVALID_SOCKET ||
            bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 8) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            for (;;) {
                const SOCKET client = accept(listener_, nullptr, nullptr);
                if (client == INVALID_SOCKET) {
                    return; // the listener was closed
                }
                if (handler_(client)) {
                    closesocket(client);
                } else {
                    kept_.push_back(client);
                }
                accepted_ += 1;
            }
        });
    }
    ~LoopbackServer() {
        closesocket(listener_);
        if (thread_.joinable()) {
            thread_.join();
        }
        for (SOCKET client : kept_) {
            closesocket(client);
        }
        WSACleanup();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // Connections handed to the handler so far.
    int accepted() const { return accepted_.load(); }

  private:
    Handler handler_;
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread thread_;
    std::vector<SOCKET> kept_; // touched by the accepting thread until it is joined
    std::atomic<int> accepted_{0};
};

} // namespace reef::probe

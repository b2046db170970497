#pragma once
// Small TCP servers on 127.0.0.1 for the connection tests: a scripted peer that plays one
// side of a proxy exchange on its own thread, and an echo server standing in for the list
// server behind a real proxy.

#include "platform/connection/tcp_peer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace reef::testing {

// Runs the script on a thread of its own against a fresh listener. The destructor (or
// join()) waits for the script to end; values the script stores are safe to read after that.
class ScriptedPeer {
  public:
    explicit ScriptedPeer(std::function<void(PeerListener&)> script)
        : thread_([this, script = std::move(script)] { script(listener_); }) {}
    ~ScriptedPeer() { join(); }
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    std::uint16_t port() const { return listener_.port(); }
    void join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

  private:
    PeerListener listener_;
    std::thread thread_;
};

// Sends back every byte it receives, on any number of connections at once, until destroyed.
// Each connection should be closed by the client before the server goes.
class EchoServer {
  public:
    EchoServer()
        : acceptor_([this] {
              while (!stop_.load()) {
                  PeerSocket client = listener_.accept(50);
                  if (client.valid()) {
                      echoers_.emplace_back(echo, std::move(client));
                  }
              }
          }) {}
    ~EchoServer() {
        stop_.store(true);
        acceptor_.join();
        for (std::thread& echoer : echoers_) {
            echoer.join();
        }
    }
    EchoServer(const EchoServer&) = delete;
    EchoServer& operator=(const EchoServer&) = delete;

    std::uint16_t port() const { return listener_.port(); }

  private:
    static void echo(PeerSocket client) {
        for (;;) {
            const std::string bytes = client.receiveSome();
            if (bytes.empty() || !client.sendAll(bytes)) {
                return;
            }
        }
    }

    PeerListener listener_;
    std::atomic<bool> stop_{false};
    std::vector<std::thread> echoers_; // touched only by the acceptor until it has ended
    std::thread acceptor_;
};

} // namespace reef::testing

#pragma once
// A list server on 127.0.0.1 whose every answer is drawn from a seeded generator: a list of
// random rows, "ready", "false", an error word, a list cut off, no answer at all, or an answer
// held back for a while; sent in random pieces with random pauses. The same seed plays the
// same answers in the same order.

#include "exchange/list_server_address.h"
#include "platform/connection/tcp_peer.h"
#include "wire/list_format.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace reef::testing {

class RandomListServer {
  public:
    explicit RandomListServer(std::uint32_t seed)
        : random_(seed), thread_([this] {
              while (!stop_.load()) {
                  PeerSocket client = listener_.accept(20);
                  if (client.valid()) {
                      client.receiveUntil("\r\n\r\n");
                      answer(client);
                      ++connections_;
                  }
              }
          }) {}
    ~RandomListServer() {
        stop_.store(true);
        thread_.join();
    }
    RandomListServer(const RandomListServer&) = delete;
    RandomListServer& operator=(const RandomListServer&) = delete;

    exchange::ListServerAddress address() const { return {"127.0.0.1", listener_.port()}; }
    int connections() const { return connections_.load(); }

  private:
    std::uint32_t draw(std::uint32_t below) {
        return static_cast<std::uint32_t>(random_() % below);
    }

    std::string list() {
        std::string body(wire::kListMarker);
        const std::uint32_t rows = draw(6);
        for (std::uint32_t i = 0; i < rows; ++i) {
            wire::appendRecord(body, {std::to_string(draw(6)), "Spieler" + std::to_string(i), "",
                                      "1:2:" + std::to_string(i), "0", std::to_string(draw(900)),
                                      std::to_string(draw(3)), "Ziel", "", "4:5:6", "0", "",
                                      draw(2) != 0 ? std::to_string(draw(86400)) : "",
                                      std::to_string(draw(86400)), "36000"});
        }
        return body;
    }

    std::string body() {
        switch (draw(8)) {
        case 0:
        case 1:
            return list() + std::string(wire::kEndMarker);
        case 2:
            return "ready";
        case 3:
            return "false";
        case 4: {
            const std::string words[] = {"Error1", "Error2", "Error3", "Error10"};
            return words[draw(4)];
        }
        case 5:
            return list(); // cut off before its end marker
        case 6:
            return "<html>Wartungsarbeiten</html>";
        default:
            return {};
        }
    }

    // Pauses count toward the script's stop, so that a held answer never outlives the test.
    void pause(std::uint32_t ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stop_.load() && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    void answer(PeerSocket& client) {
        if (draw(6) == 0) {
            pause(draw(400)); // no answer at all, then the connection ends
            return;
        }
        const std::string bytes = "HTTP/1.0 200 OK\r\n\r\n" + body();
        std::size_t sent = 0;
        while (sent < bytes.size() && !stop_.load()) {
            const std::size_t piece = 1 + draw(static_cast<std::uint32_t>(bytes.size()));
            client.sendAll(std::string_view(bytes).substr(sent, piece));
            sent += std::min(piece, bytes.size() - sent);
            pause(draw(30));
        }
        if (draw(4) == 0) {
            pause(draw(300)); // held open after the answer
        }
    }

    std::minstd_rand random_;
    PeerListener listener_;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_; // last: starts once everything above exists
};

} // namespace reef::testing

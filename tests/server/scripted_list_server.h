#pragma once
// A list server played by a script on 127.0.0.1: one prepared answer per connection, sent in
// pieces with pauses between them (so they arrive as blocks of their own), then the
// connection is closed, or held until the client closes it.

#include "server/list_server_address.h"
#include "server/scripted_peer.h"

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace reef::testing {

struct ScriptedAnswer {
    std::vector<std::string> pieces;
    bool holdOpen = false; // keep the connection until the client closes it

    static ScriptedAnswer closing(std::vector<std::string> pieces) {
        return {std::move(pieces), false};
    }
    static ScriptedAnswer holding(std::vector<std::string> pieces) {
        return {std::move(pieces), true};
    }
};

inline constexpr std::string_view kOkHeader = "HTTP/1.0 200 OK\r\n\r\n";

// One answer with the header and the body in a single piece, then closed.
inline ScriptedAnswer okAnswer(const std::string& body) {
    return ScriptedAnswer::closing({std::string(kOkHeader) + body});
}

class ScriptedListServer {
  public:
    // Serves the answers to the connections in the order they come; a connection beyond
    // them is not accepted.
    explicit ScriptedListServer(std::vector<ScriptedAnswer> answers)
        : answers_(std::move(answers)), peer_([this](PeerListener& listener) { serve(listener); }) {
    }

    server::ListServerAddress address() const { return {"127.0.0.1", peer_.port()}; }

    // The requests received, once the script has ended (after join).
    std::vector<std::string> requests() {
        peer_.join();
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // Whether the client closed each held connection (after join).
    bool clientClosedAll() {
        peer_.join();
        std::lock_guard lock(mutex_);
        return clientClosedAll_;
    }

  private:
    void serve(PeerListener& listener) {
        for (const ScriptedAnswer& answer : answers_) {
            PeerSocket client = listener.accept();
            if (!client.valid()) {
                return;
            }
            std::string request = client.receiveUntil("\r\n\r\n");
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(std::move(request));
            }
            for (std::size_t i = 0; i < answer.pieces.size(); ++i) {
                if (i > 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(30));
                }
                client.sendAll(answer.pieces[i]);
            }
            if (answer.holdOpen && !client.seesEnd()) {
                std::lock_guard lock(mutex_);
                clientClosedAll_ = false;
            }
        }
    }

    std::vector<ScriptedAnswer> answers_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    bool clientClosedAll_ = true;
    ScriptedPeer peer_; // last: its thread starts once everything above exists
};

} // namespace reef::testing

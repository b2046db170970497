#pragma once
// A list server played by a script on 127.0.0.1: one prepared answer per connection, sent in
// pieces 30 ms apart (so that they arrive as blocks of their own), then the connection is
// closed, or held until the client closes it.

#include "exchange/list_server_address.h"
#include "exchange/scripted_peer.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace reef::testing {

struct ScriptedAnswer {
    std::vector<std::string> pieces;
    bool holdOpen = false;
};

inline const std::string kOkHeader = "HTTP/1.0 200 OK\r\n\r\n";

inline ScriptedAnswer okAnswer(const std::string& body, bool holdOpen = false) {
    return {{kOkHeader + body}, holdOpen};
}

class ScriptedListServer {
  public:
    explicit ScriptedListServer(std::vector<ScriptedAnswer> answers)
        : answers_(std::move(answers)), peer_([this](PeerListener& listener) {
              for (const ScriptedAnswer& answer : answers_) {
                  PeerSocket client = listener.accept();
                  requests_.push_back(client.receiveUntil("\r\n\r\n"));
                  for (std::size_t i = 0; i < answer.pieces.size(); ++i) {
                      std::this_thread::sleep_for(std::chrono::milliseconds(i > 0 ? 30 : 0));
                      client.sendAll(answer.pieces[i]);
                  }
                  clientClosedAll_ = clientClosedAll_ && (!answer.holdOpen || client.seesEnd());
              }
          }) {}

    exchange::ListServerAddress address() const { return {"127.0.0.1", peer_.port()}; }
    // What the script saw, read once it has ended.
    std::vector<std::string> requests() {
        peer_.join();
        return requests_;
    }
    bool clientClosedAll() {
        peer_.join();
        return clientClosedAll_;
    }

  private:
    std::vector<ScriptedAnswer> answers_;
    std::vector<std::string> requests_;
    bool clientClosedAll_ = true;
    ScriptedPeer peer_; // last: its thread starts once everything above exists
};

} // namespace reef::testing

#pragma once
// The download's body rules: the list marker starts a list, "Error" an error word, anything
// else is shown to the user. Kept apart from the download's attempts so that the rules can be
// fed any answer, cut into any blocks.

#include "exchange/list_body_parser.h"
#include "exchange/list_exchange_sink.h"
#include "exchange/response_reader.h"
#include "fleetlists/fleet_entry.h"
#include "platform/byte_stream.h"
#include "platform/clock.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace reef::exchange {

enum class Verdict { Pending, Succeeded, Failed, WrongPassword, WindowClosed };

class DownloadBody final : public BodyRules {
  public:
    // The stream is read further only to show an unexpected answer.
    DownloadBody(fleetlists::FleetListKind kind, ListExchangeSink& sink, platform::Clock& clock,
                 platform::ByteStream& connection)
        : sink_(sink), clock_(clock), connection_(connection), list_(kind, clock.localNow()) {}

    Verdict verdict() const { return verdict_; }

    Step onBody(std::string_view bytes) override;
    Step onIdle() override;
    void onEnd() override;

  private:
    enum class Mode { Undecided, List, ErrorWord };

    Step end(Verdict verdict) {
        verdict_ = verdict;
        return Step::Ended;
    }
    // The body's start may come in pieces; the decision waits until it can be made.
    Step decide();
    Step listBlock(std::string_view bytes);
    Step errorWord(std::string_view status);
    // Shows the answer (what has come of it while full blocks keep waiting, at most 4 KiB).
    Step unexpected();

    ListExchangeSink& sink_;
    platform::Clock& clock_;
    platform::ByteStream& connection_;
    Mode mode_ = Mode::Undecided;
    std::string text_; // the body while undecided, or the error word
    std::size_t received_ = 0;
    ListBodyParser list_;
    Verdict verdict_ = Verdict::Pending;
};

} // namespace reef::exchange

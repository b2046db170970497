#pragma once
// The submission's answer rules: "ready" or "false" at the start of the body, the error words
// as the whole body. Kept apart from the submission's connection so that the rules can be fed
// any answer, cut into any blocks.

#include "exchange/list_exchange_sink.h"
#include "exchange/response_reader.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace reef::exchange {

enum class SubmissionOutcome {
    Accepted,     // "ready": the dialog closes, the list window's buttons come back
    Failed,       // the dialog is given back to the player with the input kept
    WindowClosed, // the list window was closed: nothing more is touched
};

class SubmissionAnswer final : public BodyRules {
  public:
    explicit SubmissionAnswer(ListExchangeSink& sink) : sink_(sink) {}

    SubmissionOutcome outcome() const { return outcome_; }

    Step onBody(std::string_view bytes) override;
    Step onIdle() override { return errorWordCheck(); }
    void onEnd() override;

  private:
    // Enough is kept to tell the answer words and the error words; a longer body can be
    // neither an error word nor change how it begins.
    static constexpr std::size_t kKeptBytes = 16;

    Step answered(std::string_view status, SubmissionOutcome outcome);
    Step errorWordCheck();

    ListExchangeSink& sink_;
    std::string body_;
    SubmissionOutcome outcome_ = SubmissionOutcome::Failed;
};

} // namespace reef::exchange

#include "exchange/submission_answer.h"

#include "exchange/exchange_texts.h"
#include "wire/list_format.h"

namespace reef::exchange {

BodyRules::Step SubmissionAnswer::onBody(std::string_view bytes) {
    if (body_.size() <= kKeptBytes) {
        body_ += bytes.substr(0, kKeptBytes + 1 - body_.size());
    }
    if (body_.starts_with(wire::kAnswerStored)) {
        return answered(kStatusDone, SubmissionOutcome::Accepted);
    }
    if (body_.starts_with(wire::kAnswerRefused)) {
        return answered(kStatusBadInput, SubmissionOutcome::Failed);
    }
    return errorWordCheck();
}

void SubmissionAnswer::onEnd() {
    if (errorWordCheck() == Step::GoOn) {
        // Too short for an answer word, or an answer of no known form.
        sink_.setStatus(kStatusExchangeField, std::string(kStatusFailed));
        outcome_ = SubmissionOutcome::Failed;
    }
}

BodyRules::Step SubmissionAnswer::answered(std::string_view status, SubmissionOutcome outcome) {
    if (!sink_.windowOpen()) {
        outcome_ = SubmissionOutcome::WindowClosed;
        return Step::Ended;
    }
    sink_.setStatus(kStatusExchangeField, std::string(status));
    outcome_ = outcome;
    return Step::Ended;
}

BodyRules::Step SubmissionAnswer::errorWordCheck() {
    if (!sink_.windowOpen()) {
        outcome_ = SubmissionOutcome::WindowClosed;
        return Step::Ended;
    }
    if (const auto status = errorWordStatus(body_, ErrorWords::OfSubmission)) {
        sink_.setStatus(kStatusExchangeField, std::string(*status));
        outcome_ = SubmissionOutcome::Failed;
        return Step::Ended;
    }
    return Step::GoOn;
}

} // namespace reef::exchange

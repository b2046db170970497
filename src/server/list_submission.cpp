#include "server/list_submission.h"

#include "platform/connection.h"
#include "server/entry_request.h"
#include "server/exchange_texts.h"
#include "server/list_server_connection.h"
#include "server/response_reader.h"
#include "wire/list_format.h"

namespace reef::server {

namespace {

// The submission's answer rules.
class SubmissionAnswer final : public BodyRules {
  public:
    explicit SubmissionAnswer(ListExchangeSink& sink) : sink_(sink) {}

    SubmissionOutcome outcome() const { return outcome_; }

    Step onBody(std::string_view bytes) override {
        // Enough is kept to tell the answer words and the error words; a longer body can be
        // neither an error word nor change how it begins.
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

    Step onIdle() override { return errorWordCheck(); }

    void onEnd() override {
        if (errorWordCheck() == Step::GoOn) {
            // Too short for an answer word, or an answer of no known form.
            sink_.setStatus(kStatusExchangeField, std::string(kStatusFailed));
            outcome_ = SubmissionOutcome::Failed;
        }
    }

  private:
    static constexpr std::size_t kKeptBytes = 16;

    Step answered(std::string_view status, SubmissionOutcome outcome) {
        if (!sink_.windowOpen()) {
            outcome_ = SubmissionOutcome::WindowClosed;
            return Step::Ended;
        }
        sink_.setStatus(kStatusExchangeField, std::string(status));
        outcome_ = outcome;
        return Step::Ended;
    }

    Step errorWordCheck() {
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

    ListExchangeSink& sink_;
    std::string body_;
    SubmissionOutcome outcome_ = SubmissionOutcome::Failed;
};

} // namespace

SubmissionOutcome runSubmission(const SubmissionJob& job, ListExchangeSink& sink,
                                platform::Clock& clock) {
    sink.setStatus(kStatusOperationField,
                   std::string(job.entry.mode == fleetlists::DialogMode::Change
                                   ? kOperationChangeEntry
                                   : kOperationNewEntry));
    platform::Connection connection = connectToListServer(
        job.proxy, [&sink](const std::string& text) { sink.setStatus(kStatusExchangeField, text); },
        job.server, clock);
    if (!connection.isOpen()) {
        return SubmissionOutcome::Failed;
    }
    connection.send(buildSubmissionRequest(job.entry, job.server));
    if (!sink.windowOpen()) {
        return SubmissionOutcome::WindowClosed;
    }
    sink.setStatus(kStatusExchangeField, std::string(kStatusWaiting));
    const std::int64_t start = clock.tickCountMs();
    SubmissionAnswer answer(sink);
    const ResponseResult result = readResponse(connection, clock, start, answer);
    connection.close();
    if (result.end == ResponseEnd::ByRules) {
        return answer.outcome();
    }
    return reportReaderFailure(result, sink) ? SubmissionOutcome::Failed
                                             : SubmissionOutcome::WindowClosed;
}

} // namespace reef::server

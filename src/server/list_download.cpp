#include "server/list_download.h"

#include "platform/connection.h"
#include "server/exchange_texts.h"
#include "server/list_body_parser.h"
#include "server/list_request.h"
#include "server/list_server_connection.h"
#include "server/response_reader.h"
#include "text/date_text.h"
#include "wire/list_format.h"

#include <array>

namespace reef::server {

namespace {

enum class Verdict { Pending, Succeeded, Failed, WrongPassword, WindowClosed };

// The download's body rules: the list marker starts a list, "Error" an error word, anything
// else is shown to the user.
class DownloadBody final : public BodyRules {
  public:
    DownloadBody(fleetlists::FleetListKind kind, ListExchangeSink& sink, platform::Clock& clock,
                 platform::Connection& connection)
        : sink_(sink), clock_(clock), connection_(connection), list_(kind, clock.localNow()) {}

    Verdict verdict() const { return verdict_; }

    Step onBody(std::string_view bytes) override {
        switch (mode_) {
        case Mode::Undecided:
            text_ += bytes;
            return decide();
        case Mode::ErrorWord:
            // Only the whole body counts; anything longer than the longest word is no word.
            if (text_.size() <= wire::kErrorFatal.size()) {
                text_ += bytes.substr(0, wire::kErrorFatal.size() + 1 - text_.size());
            }
            return Step::GoOn;
        case Mode::List:
            return listBlock(bytes);
        }
        return Step::GoOn;
    }

    Step onIdle() override {
        if (!sink_.windowOpen()) {
            return end(Verdict::WindowClosed);
        }
        if (mode_ == Mode::ErrorWord) {
            if (const auto status = errorWordStatus(text_, ErrorWords::OfDownload)) {
                return errorWord(*status);
            }
        }
        return Step::GoOn;
    }

    void onEnd() override {
        if (mode_ == Mode::Undecided && !text_.empty()) {
            sink_.showError(shownPart(text_));
        }
        if (!sink_.windowOpen()) {
            end(Verdict::WindowClosed);
            return;
        }
        if (mode_ == Mode::ErrorWord) {
            if (const auto status = errorWordStatus(text_, ErrorWords::OfDownload)) {
                errorWord(*status);
                return;
            }
        }
        // A list without its end marker, an unknown word, or too little to tell.
        sink_.setStatus(kStatusExchangeField, std::string(kStatusFailed));
        end(Verdict::Failed);
    }

  private:
    enum class Mode { Undecided, List, ErrorWord };

    Step end(Verdict verdict) {
        verdict_ = verdict;
        return Step::Ended;
    }

    // The body's start may come in pieces; the decision waits until it can be made.
    Step decide() {
        if (text_.starts_with(wire::kListMarker)) {
            mode_ = Mode::List;
            const std::string rest = text_.substr(wire::kListMarker.size());
            text_.clear();
            return rest.empty() ? Step::GoOn : listBlock(rest);
        }
        if (text_.starts_with(wire::kErrorPrefix)) {
            mode_ = Mode::ErrorWord;
            return Step::GoOn;
        }
        if (wire::kListMarker.starts_with(text_) || wire::kErrorPrefix.starts_with(text_)) {
            return Step::GoOn;
        }
        return unexpected();
    }

    Step listBlock(std::string_view bytes) {
        received_ += bytes.size();
        if (!sink_.windowOpen()) {
            return end(Verdict::WindowClosed);
        }
        sink_.setStatus(kStatusExchangeField, receivedStatus(received_));
        list_.append(bytes);
        const bool finished = list_.takeEndMarker();
        if (finished) {
            if (!sink_.windowOpen()) {
                return end(Verdict::WindowClosed);
            }
            sink_.setStatus(kStatusExchangeField, std::string(kStatusEvaluating));
        }
        list_.parseWholeRecords();
        if (!finished) {
            return Step::GoOn;
        }
        if (!sink_.windowOpen()) {
            return end(Verdict::WindowClosed);
        }
        sink_.listReceived(list_.takeRows());
        sink_.setStatus(kStatusUpdateTimeField,
                        std::string(kLastUpdatePrefix) +
                            text::formatDate(kLastUpdateMask, clock_.localNow()));
        sink_.setStatus(kStatusExchangeField, std::string(kStatusDone));
        return end(Verdict::Succeeded);
    }

    Step errorWord(std::string_view status) {
        sink_.setStatus(kStatusExchangeField, std::string(status));
        return end(text_ == wire::kErrorWrongPassword ? Verdict::WrongPassword : Verdict::Failed);
    }

    // Shows the answer (what has come of it while full blocks keep waiting, at most 4 KiB).
    Step unexpected() {
        std::array<char, kReceiveBlockSize> buffer{};
        while (text_.size() < kMaxShownAnswerBytes && connection_.dataAvailable()) {
            const long got = connection_.receive(buffer.data(), buffer.size());
            if (got <= 0) {
                break;
            }
            text_.append(buffer.data(), static_cast<std::size_t>(got));
            if (static_cast<std::size_t>(got) < buffer.size()) {
                break;
            }
        }
        sink_.showError(shownPart(text_));
        if (!sink_.windowOpen()) {
            return end(Verdict::WindowClosed);
        }
        sink_.setStatus(kStatusExchangeField, std::string(kStatusFailed));
        return end(Verdict::Failed);
    }

    ListExchangeSink& sink_;
    platform::Clock& clock_;
    platform::Connection& connection_;
    Mode mode_ = Mode::Undecided;
    std::string text_; // the body while undecided, or the error word
    std::size_t received_ = 0;
    ListBodyParser list_;
    Verdict verdict_ = Verdict::Pending;
};

// One attempt, from the request to the verdict; the connection is closed at the end.
Verdict exchangeOnce(const DownloadJob& job, const std::string& password,
                     platform::Connection& connection, ListExchangeSink& sink,
                     platform::Clock& clock) {
    connection.send(buildDownloadRequest(job.kind, password, job.server));
    if (!sink.windowOpen()) {
        return Verdict::WindowClosed;
    }
    sink.setStatus(kStatusExchangeField, std::string(kStatusWaiting));
    const std::int64_t start = clock.tickCountMs();
    DownloadBody body(job.kind, sink, clock, connection);
    const ResponseResult result = readResponse(connection, clock, start, body);
    connection.close();
    if (result.end == ResponseEnd::ByRules) {
        return body.verdict();
    }
    return reportReaderFailure(result, sink) ? Verdict::Failed : Verdict::WindowClosed;
}

} // namespace

DownloadOutcome runListDownload(const DownloadJob& job, ListExchangeSink& sink,
                                platform::Clock& clock) {
    std::string password = job.password;
    const ConnectionStatusSink connectionStatus = [&sink](const std::string& text) {
        sink.setStatus(kStatusExchangeField, text);
    };
    for (int attempt = 1; attempt <= kDownloadAttempts; ++attempt) {
        sink.setStatus(kStatusOperationField, downloadOperation(attempt, kDownloadAttempts));
        platform::Connection connection =
            connectToListServer(job.proxy, connectionStatus, job.server, clock);
        if (!connection.isOpen()) {
            return DownloadOutcome::NoConnection;
        }
        switch (exchangeOnce(job, password, connection, sink, clock)) {
        case Verdict::Succeeded:
            return DownloadOutcome::Finished;
        case Verdict::WindowClosed:
            return DownloadOutcome::WindowClosed;
        case Verdict::WrongPassword:
            password = sink.askNewPassword();
            break;
        case Verdict::Failed:
        case Verdict::Pending:
            break;
        }
    }
    return DownloadOutcome::Finished;
}

} // namespace reef::server

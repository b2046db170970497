#include "exchange/list_submission.h"

#include "exchange/entry_request.h"
#include "exchange/exchange_texts.h"
#include "exchange/list_server_connection.h"
#include "exchange/response_reader.h"
#include "exchange/submission_answer.h"
#include "platform/connection.h"

namespace reef::exchange {

SubmissionOutcome runSubmission(const SubmissionJob& job, ListExchangeSink& sink,
                                platform::Clock& clock) {
    sink.setStatus(kStatusOperationField,
                   std::string(job.entry.mode == fleetlists::DialogMode::Change
                                   ? kOperationChangeEntry
                                   : kOperationNewEntry));
    platform::Connection connection = connectToListServer(
        job.proxy, [&sink](const std::string& text) { sink.setStatus(kStatusExchangeField, text); },
        job.server, clock, [&sink] { return sink.windowOpen(); });
    if (!connection.isOpen()) {
        return sink.windowOpen() ? SubmissionOutcome::Failed : SubmissionOutcome::WindowClosed;
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

} // namespace reef::exchange

#include "exchange/list_download.h"

#include "exchange/download_body.h"
#include "exchange/exchange_texts.h"
#include "exchange/list_request.h"
#include "exchange/list_server_connection.h"
#include "exchange/response_reader.h"
#include "platform/connection.h"

namespace reef::exchange {

namespace {

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
        platform::Connection connection = connectToListServer(
            job.proxy, connectionStatus, job.server, clock, [&sink] { return sink.windowOpen(); });
        if (!connection.isOpen()) {
            return sink.windowOpen() ? DownloadOutcome::NoConnection
                                     : DownloadOutcome::WindowClosed;
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

} // namespace reef::exchange

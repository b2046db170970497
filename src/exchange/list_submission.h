#pragma once
// Storing a new or changed entry on the list server: one connection, one request, and the
// server's one-word answer. No retry; the list is not downloaded afterwards. Runs on a worker
// thread; reaches the user interface only through the sink.

#include "exchange/list_exchange_sink.h"
#include "exchange/list_server_address.h"
#include "exchange/proxy_settings.h"
#include "exchange/submission_answer.h"
#include "fleetlists/entry_submission.h"
#include "platform/clock.h"

namespace reef::exchange {

// Everything the worker needs, copied when "Übernehmen" is pressed.
struct SubmissionJob {
    fleetlists::EntrySubmission entry; // its password is the one sent
    ListServerAddress server;
    ProxySettings proxy;
};

// Field 1 "neuen Eintrag erstellen" or "alten Eintrag aktualisieren"; connects, sends the
// request of the entry's mode and reads the answer: "ready" or "false" at the start of the
// body, the error words as the whole body; anything else fails at the time limit or when the
// connection ends.
SubmissionOutcome runSubmission(const SubmissionJob& job, ListExchangeSink& sink,
                                platform::Clock& clock);

} // namespace reef::exchange

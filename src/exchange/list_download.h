#pragma once
// The download of one fleet list: up to three attempts, each a connection, one request and
// the answer read to the download's body rules, with the progress in the list window's status
// bar. Runs on a worker thread; reaches the user interface only through the sink.

#include "exchange/list_exchange_sink.h"
#include "exchange/list_server_address.h"
#include "exchange/proxy_settings.h"
#include "fleetlists/fleet_entry.h"
#include "platform/clock.h"

#include <string>

namespace reef::exchange {

inline constexpr int kDownloadAttempts = 3;

// Everything the worker needs, copied when it starts.
struct DownloadJob {
    fleetlists::FleetListKind kind = fleetlists::FleetListKind::Allied;
    std::string password; // ListPassword
    ListServerAddress server;
    ProxySettings proxy;
};

// What the caller does once the download has ended.
enum class DownloadOutcome {
    // A list was handed over, or the third attempt failed: the last update tick becomes now
    // and the buttons are given back.
    Finished,
    // No connection could be opened: no further attempt; the buttons are given back and the
    // last update tick becomes now as well, so that an auto-update waits its interval before
    // it tries an unreachable server again rather than trying at every pass of the loop.
    NoConnection,
    // The list window was closed: nothing more is touched.
    WindowClosed,
};

// Attempt n writes "Liste aktualisieren" (with " (Versuch: n/3)" from the second on) into
// field 1, connects (its texts go to field 2), sends the download request and reads the
// answer. A list is handed over whole through listReceived only once its end marker has come;
// a failed or cut-off download hands over nothing. After "Error1" the password the sink's
// requester returns is the one the next attempt sends.
DownloadOutcome runListDownload(const DownloadJob& job, ListExchangeSink& sink,
                                platform::Clock& clock);

} // namespace reef::exchange

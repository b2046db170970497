#pragma once
// Opening the connection of one list-server exchange, directly or through the proxy, with
// the progress shown in the status bar of the list window that asked.

#include "exchange/list_server_address.h"
#include "exchange/proxy_settings.h"
#include "platform/clock.h"
#include "platform/connection.h"

#include <cstdint>
#include <functional>
#include <string>

namespace reef::exchange {

inline constexpr int kConnectionAttempts = 10;
inline constexpr std::int32_t kProxyTimeoutSeconds = 10;

// Receives each progress or failure text ("Status: ...", without alignment characters). The
// list window behind it shows the text right-aligned in field 2 of its status bar, and drops
// it once the window has been closed. Called on the worker's thread.
using ConnectionStatusSink = std::function<void(const std::string& text)>;

// The window check between two attempts: false once the list window that asked has been
// closed. Called on the worker's thread.
using ConnectionWantedCheck = std::function<bool()>;

// Up to ten attempts without a pause: directly when the proxy host is empty, otherwise
// through the proxy (10 seconds per proxy answer). Shows "Status: Verbindungsaufbau" for the
// first attempt, "Status: Verbindungsaufbau (n/10)" for attempt n from 2 on, and
// "Status: Fehler (Server nicht gefunden)" when the tenth has failed; the connection returned
// is then not open. Before each attempt from the second on, `stillWanted` (when given) is
// asked: false ends the attempts at once with no open connection and no further text, so
// that a closed window does not keep an unreachable server's attempts going for minutes.
// The caller owns the connection and closes it.
platform::Connection connectToListServer(const ProxySettings& proxy,
                                         const ConnectionStatusSink& status,
                                         const ListServerAddress& server = configuredListServer(),
                                         platform::Clock& clock = platform::systemClock(),
                                         const ConnectionWantedCheck& stillWanted = {});

} // namespace reef::exchange

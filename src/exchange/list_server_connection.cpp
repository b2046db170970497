#include "exchange/list_server_connection.h"

#include "exchange/proxy.h"
#include "text/integer_text.h"

namespace reef::exchange {

platform::Connection connectToListServer(const ProxySettings& proxy,
                                         const ConnectionStatusSink& status,
                                         const ListServerAddress& server, platform::Clock& clock,
                                         const ConnectionWantedCheck& stillWanted) {
    const auto show = [&status](const std::string& text) {
        if (status) {
            status(text);
        }
    };
    for (int attempt = 1; attempt <= kConnectionAttempts; ++attempt) {
        if (attempt > 1 && stillWanted && !stillWanted()) {
            return platform::Connection();
        }
        show(attempt == 1 ? std::string("Status: Verbindungsaufbau")
                          : "Status: Verbindungsaufbau (" + text::decimalText(attempt) + "/" +
                                text::decimalText(kConnectionAttempts) + ")");
        platform::Connection connection;
        if (proxy.host.empty()) {
            connection.open(server.host, server.port);
        } else {
            connection =
                connectThroughProxy(proxy.host, proxy.port, server.host, server.port, proxy.type,
                                    proxy.userId, proxy.password, kProxyTimeoutSeconds, clock);
        }
        if (connection.isOpen()) {
            return connection;
        }
    }
    show("Status: Fehler (Server nicht gefunden)");
    return platform::Connection();
}

} // namespace reef::exchange

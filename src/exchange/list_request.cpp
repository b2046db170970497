#include "exchange/list_request.h"

#include "text/integer_text.h"
#include "wire/list_format.h"
#include "wire/query_encoding.h"

namespace reef::exchange {

std::string hostInUrl(const ListServerAddress& server) {
    if (server.port == kDefaultListServerPort) {
        return server.host;
    }
    return server.host + ":" + text::decimalText(server.port);
}

std::string requestLineStart(const ListServerAddress& server, std::string_view password,
                             fleetlists::FleetListKind kind, std::string_view operation) {
    std::string line = "GET http://";
    line += hostInUrl(server);
    line += wire::kScriptPath;
    line += "?Info1=";
    line += wire::percentEncode(password);
    line += "&Info2=";
    line += wire::percentEncode(wire::listIdentifier(fleetlists::indexOf(kind)));
    line += "&Info3=";
    line += operation;
    return line;
}

std::string buildDownloadRequest(fleetlists::FleetListKind kind, std::string_view password,
                                 const ListServerAddress& server) {
    return requestLineStart(server, password, kind, wire::kOperationUpdate) +
           std::string(kRequestEnd);
}

} // namespace reef::exchange

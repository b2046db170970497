#pragma once
// The request line every exchange with the list server begins with, and the download
// request. Password, list identifier and values are escaped where a byte would break the
// request (blank, "&", "#", "%", "+", control bytes, bytes from 0x80), so that the server
// sees them as typed.

#include "exchange/list_server_address.h"
#include "fleetlists/fleet_entry.h"

#include <string>
#include <string_view>

namespace reef::exchange {

// The end of the request line and the empty line that ends the request: no header lines.
inline constexpr std::string_view kRequestEnd = " HTTP/1.0\r\n\r\n";

// The host as the URL names it: "host", or "host:port" when the port is not 80.
std::string hostInUrl(const ListServerAddress& server);

// "GET http://host/Reef-Update.php?Info1=" password "&Info2=" identifier "&Info3=" operation.
std::string requestLineStart(const ListServerAddress& server, std::string_view password,
                             fleetlists::FleetListKind kind, std::string_view operation);

// The whole download request of a list.
std::string buildDownloadRequest(fleetlists::FleetListKind kind, std::string_view password,
                                 const ListServerAddress& server);

} // namespace reef::exchange

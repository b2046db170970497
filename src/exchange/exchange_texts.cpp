#include "exchange/exchange_texts.h"

#include "text/integer_text.h"
#include "wire/list_format.h"

namespace reef::exchange {

std::string receivedStatus(std::size_t byteCount) {
    return "Status: Daten empfangen: " + text::decimalText(static_cast<std::int64_t>(byteCount)) +
           " Byte";
}

std::string downloadOperation(int attempt, int attempts) {
    std::string text(kOperationDownload);
    if (attempt > 1) {
        text +=
            " (Versuch: " + text::decimalText(attempt) + "/" + text::decimalText(attempts) + ")";
    }
    return text;
}

std::optional<std::string_view> errorWordStatus(std::string_view body, ErrorWords known) {
    if (body == wire::kErrorWrongPassword) {
        return kStatusWrongPassword;
    }
    if (body == wire::kErrorNoDatabase) {
        return "Status: Fehler (DatenBank nicht gefunden)";
    }
    if (body == wire::kErrorBadQuery && known == ErrorWords::OfDownload) {
        return "Status: Fehler (fehlerhafte Abfrage)";
    }
    if (body == wire::kErrorFatal) {
        return "Status: Fehler (Fatal Error)";
    }
    return std::nullopt;
}

} // namespace reef::exchange

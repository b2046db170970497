#pragma once
// The status texts of the list server exchange, and what the error words mean.

#include <optional>
#include <string>
#include <string_view>

namespace reef::exchange {

// Field 1: what runs.
inline constexpr std::string_view kOperationDownload = "Liste aktualisieren";
inline constexpr std::string_view kOperationNewEntry = "neuen Eintrag erstellen";
inline constexpr std::string_view kOperationChangeEntry = "alten Eintrag aktualisieren";

// Field 0 after a download.
inline constexpr std::string_view kLastUpdatePrefix = "letzte Aktualisierung: ";
inline constexpr std::string_view kLastUpdateMask = "%hh:%ii:%ss";

// Field 2.
inline constexpr std::string_view kStatusWaiting = "Status: warte auf Antwort";
inline constexpr std::string_view kStatusEvaluating = "Status: Daten auswerten";
inline constexpr std::string_view kStatusDone = "Status: Fertig!";
inline constexpr std::string_view kStatusFailed = "Status: Fehler!";
inline constexpr std::string_view kStatusNoScript = "Status: Fehler (Script nicht erreichbar)";
inline constexpr std::string_view kStatusTimeout = "Status: Fehler (Timeout)";
inline constexpr std::string_view kStatusBadInput = "Status: Fehler (falsche Eingabe)";
inline constexpr std::string_view kStatusWrongPassword = "Status: Fehler (falsches Passwort)";
// The system would not start the worker thread (too many threads, too little memory).
inline constexpr std::string_view kStatusWorkerNotStarted =
    "Status: Fehler (Vorgang konnte nicht gestartet werden)";

// "Status: Daten empfangen: " n " Byte".
std::string receivedStatus(std::size_t byteCount);

// "Liste aktualisieren", from the second attempt on followed by " (Versuch: n/3)".
std::string downloadOperation(int attempt, int attempts);

// Which error words an exchange knows: a submission does not know "Error3".
enum class ErrorWords { OfDownload, OfSubmission };

// The status text of a body that is exactly one of the known error words; nothing otherwise.
std::optional<std::string_view> errorWordStatus(std::string_view body, ErrorWords known);

} // namespace reef::exchange

#include "exchange/entry_request.h"

#include "exchange/list_request.h"
#include "fleetlists/ticks.h"
#include "text/date_text.h"
#include "text/integer_text.h"
#include "wire/list_format.h"
#include "wire/query_encoding.h"

namespace reef::exchange {

namespace {

using fleetlists::DialogMode;
using fleetlists::EntrySubmission;
using fleetlists::FleetListKind;

void addKey(std::string& query, std::string_view key, std::string_view value) {
    query += '&';
    query += key;
    query += '=';
    query += wire::encodeQueryValue(value);
}

void addTrimmed(std::string& query, std::string_view key, std::string_view text) {
    addKey(query, key, trimBlanks(text));
}

void addNumber(std::string& query, std::string_view key, std::int64_t value) {
    addKey(query, key, text::decimalText(value));
}

bool isValidTime(std::string_view text) {
    return text::parseClockTime(trimBlanks(text)) >= 0;
}

std::string finish(const EntrySubmission& entry, const ListServerAddress& server,
                   std::string_view operation, const std::string& query) {
    return requestLineStart(server, entry.password, entry.kind, operation) + query +
           std::string(kRequestEnd);
}

} // namespace

std::string digitsOnly(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    return digits;
}

std::string_view trimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::int32_t tickTimeValue(std::string_view text) {
    return fleetlists::snapToTick(text::parseClockTime(trimBlanks(text)));
}

std::string buildNewEntryRequest(const EntrySubmission& entry, const ListServerAddress& server) {
    std::string query;
    const auto addIfAny = [&query](std::string_view key, std::string_view value) {
        if (!value.empty()) {
            addKey(query, key, value);
        }
    };
    addNumber(query, "Hilfe", entry.helpSelection);
    addTrimmed(query, "Name", entry.Name);
    addIfAny("Allianz", trimBlanks(entry.Allianz));
    addTrimmed(query, "Basis", entry.Basis);
    addIfAny("Punkte", digitsOnly(entry.Punkte));
    addKey(query, "Schiffe", digitsOnly(entry.Schiffe));
    addNumber(query, "Modus", entry.missionSelection);
    addTrimmed(query, "ZielName", entry.ZielName);
    addIfAny("ZielAllianz", trimBlanks(entry.ZielAllianz));
    addTrimmed(query, "ZielBasis", entry.ZielBasis);
    addIfAny("ZielPunkte", digitsOnly(entry.ZielPunkte));
    addNumber(query, "BasisZeit", tickTimeValue(entry.BasisZeit));
    if (entry.kind == FleetListKind::Enemy) {
        addTrimmed(query, "Von", entry.Von);
    }
    if (!trimBlanks(entry.ZielZeit).empty() && isValidTime(entry.ZielZeit)) {
        addNumber(query, "ZielZeit", tickTimeValue(entry.ZielZeit));
    }
    return finish(entry, server, wire::kOperationNew, query);
}

std::string buildChangeRequest(const EntrySubmission& entry, const ListServerAddress& server) {
    std::string query;
    if (entry.helpSelection >= 0) {
        addNumber(query, "Hilfe", entry.helpSelection);
    }
    addTrimmed(query, "Name", entry.Name);
    addTrimmed(query, "Allianz", entry.Allianz);
    addTrimmed(query, "Basis", entry.Basis);
    addKey(query, "Punkte", digitsOnly(entry.Punkte));
    addNumber(query, "Modus", entry.missionSelection);
    addKey(query, "Schiffe", digitsOnly(entry.Schiffe));
    addTrimmed(query, "ZielName", entry.ZielName);
    addTrimmed(query, "ZielAllianz", entry.ZielAllianz);
    addTrimmed(query, "ZielBasis", entry.ZielBasis);
    addKey(query, "ZielPunkte", digitsOnly(entry.ZielPunkte));
    addNumber(query, "BasisZeit", tickTimeValue(entry.BasisZeit));
    if (entry.kind == FleetListKind::Enemy) {
        addTrimmed(query, "Von", entry.Von);
    }
    if (!entry.ZielZeit.empty()) {
        addNumber(query, "ZielZeit", tickTimeValue(entry.ZielZeit));
    }
    addNumber(query, "IDW", static_cast<std::int64_t>(entry.editCopy.Name.size()));
    addNumber(query, "BasisZeitW", entry.editCopy.BasisZeit);
    return finish(entry, server, wire::kOperationChange, query);
}

std::string buildSubmissionRequest(const EntrySubmission& entry, const ListServerAddress& server) {
    return entry.mode == DialogMode::Change ? buildChangeRequest(entry, server)
                                            : buildNewEntryRequest(entry, server);
}

} // namespace reef::exchange

#include "exchange/list_body_parser.h"

#include "exchange/fleet_record.h"
#include "wire/list_format.h"

#include <algorithm>

namespace reef::exchange {

ListBodyParser::ListBodyParser(fleetlists::FleetListKind kind, std::int64_t localNow)
    : kind_(kind), localNow_(localNow) {}

void ListBodyParser::append(std::string_view bytes) {
    if (start_ > 0 && start_ >= text_.size() / 2) {
        text_.erase(0, start_);
        // The parsed text ends with the ">" of a "|>", which begins no other.
        countedTo_ = countedTo_ > start_ ? countedTo_ - start_ : 0;
        start_ = 0;
    }
    text_ += bytes;
    // A "|>" cut between two blocks is counted once its ">" has come.
    for (; countedTo_ + 1 < text_.size(); ++countedTo_) {
        if (text_[countedTo_] == '|' && text_[countedTo_ + 1] == '>') {
            ++closers_;
        }
    }
}

bool ListBodyParser::takeEndMarker() {
    const std::string_view unparsed = std::string_view(text_).substr(start_);
    if (!unparsed.ends_with(wire::kEndMarker)) {
        return false;
    }
    text_.resize(text_.size() - wire::kEndMarker.size());
    // The marker holds no "|>", and none began in front of it, so the count stands.
    countedTo_ = std::min(countedTo_, text_.size());
    return true;
}

void ListBodyParser::parseWholeRecords() {
    while (closers_ >= wire::kRecordFieldCount) {
        const std::string_view unparsed = std::string_view(text_).substr(start_);
        const std::string_view rest = parseFleetRecord(kind_, rows_, unparsed, localNow_);
        if (rest.size() == unparsed.size()) {
            return; // cannot happen with fifteen "|>" counted, but never loop on it
        }
        start_ += unparsed.size() - rest.size();
        closers_ -= wire::kRecordFieldCount;
    }
}

} // namespace reef::exchange

#include "wire/list_format.h"

namespace reef::wire {

std::string_view listIdentifier(int kindIndex) {
    if (kindIndex < 0 || kindIndex >= kListCount) {
        return {};
    }
    return kListIdentifiers[static_cast<std::size_t>(kindIndex)];
}

std::optional<int> kindIndexOf(std::string_view identifier) {
    for (int i = 0; i < kListCount; ++i) {
        if (kListIdentifiers[static_cast<std::size_t>(i)] == identifier) {
            return i;
        }
    }
    return std::nullopt;
}

void appendValue(std::string& out, std::string_view value) {
    out += kValueOpen;
    out += value;
    out += kValueClose;
}

void appendRecord(std::string& out, const RecordValues& values) {
    for (const std::string_view value : values) {
        appendValue(out, value);
    }
}

std::optional<ScannedRecord> scanRecord(std::string_view text) {
    ScannedRecord record;
    std::size_t position = 0;
    for (std::string_view& value : record.values) {
        const std::size_t close = text.find(kValueClose, position);
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        // Only the stretch up to the "|>" is searched, which keeps the whole scan linear; an
        // "<|" whose "|" is the one of the "|>" still counts, and gives an empty value.
        const std::size_t open = text.substr(0, close + 1).find(kValueOpen, position);
        if (open != std::string_view::npos && open + kValueOpen.size() <= close) {
            value = text.substr(open + kValueOpen.size(), close - open - kValueOpen.size());
        } else {
            value = {};
        }
        position = close + kValueClose.size();
    }
    record.length = position;
    return record;
}

bool readsBackAsItself(std::string_view value) {
    if (!value.empty() && value.front() == '>') {
        return false;
    }
    if (value.find(kValueClose) != std::string_view::npos ||
        value.find(kEndMarker) != std::string_view::npos) {
        return false;
    }
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

} // namespace reef::wire

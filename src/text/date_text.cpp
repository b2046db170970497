#include "text/date_text.h"

#include <cctype>

namespace reef::text {

namespace {

struct CivilDate {
    std::int64_t year;
    int month;
    int day;
};

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's civil_from_days).
CivilDate civilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

void appendTwoDigits(std::string& out, std::int64_t value) {
    out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

bool tokenAt(std::string_view mask, std::size_t pos, std::string_view token) {
    if (mask.size() - pos < token.size()) {
        return false;
    }
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(mask[pos + i])) != token[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string formatDate(std::string_view mask, std::int64_t date) {
    const bool negative = date < 0;
    const std::int64_t days = floorDiv(date, kDaySeconds);
    const std::int64_t secondOfDay = date - days * kDaySeconds;
    const CivilDate civil = civilFromDays(days);
    const std::int64_t year = civil.year < 0 ? -civil.year : civil.year;

    std::string out;
    out.reserve(mask.size() + 8);
    std::size_t i = 0;
    while (i < mask.size()) {
        if (mask[i] != '%') {
            out.push_back(mask[i++]);
            continue;
        }
        if (tokenAt(mask, i, "%yyyy")) {
            appendTwoDigits(out, year / 100);
            appendTwoDigits(out, year);
            i += 5;
        } else if (tokenAt(mask, i, "%yy")) {
            appendTwoDigits(out, year);
            i += 3;
        } else if (tokenAt(mask, i, "%mm")) {
            appendTwoDigits(out, negative ? 0 : civil.month);
            i += 3;
        } else if (tokenAt(mask, i, "%dd")) {
            appendTwoDigits(out, negative ? 0 : civil.day);
            i += 3;
        } else if (tokenAt(mask, i, "%hh")) {
            appendTwoDigits(out, negative ? 0 : secondOfDay / 3600);
            i += 3;
        } else if (tokenAt(mask, i, "%ii")) {
            appendTwoDigits(out, negative ? 0 : secondOfDay / 60 % 60);
            i += 3;
        } else if (tokenAt(mask, i, "%ss")) {
            appendTwoDigits(out, negative ? 0 : secondOfDay % 60);
            i += 3;
        } else {
            out.push_back(mask[i++]);
        }
    }
    return out;
}

std::int32_t parseClockTime(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    std::size_t i = 0;
    auto readNumber = [&](int& value) {
        const std::size_t start = i;
        value = 0;
        while (i < text.size() && i - start < 2 && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + (text[i++] - '0');
        }
        return i > start;
    };
    int hours = 0;
    int minutes = 0;
    if (!readNumber(hours) || i >= text.size()) {
        return -1;
    }
    ++i; // the separator, whatever character it is
    if (!readNumber(minutes) || hours > 23 || minutes > 59) {
        return -1;
    }
    return hours * 3600 + minutes * 60;
}

} // namespace reef::text

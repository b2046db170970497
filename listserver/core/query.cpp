#include "listserver/core/query.h"

namespace reef::listserver {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

} // namespace

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int high = hexDigit(text[i + 1]);
            int low = hexDigit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::optional<RequestTarget> splitTarget(std::string_view target) {
    if (startsWithNoCase(target, "http://")) {
        std::string_view rest = target.substr(7);
        std::size_t pathStart = rest.find_first_of("/?");
        if (pathStart == 0)
            return std::nullopt; // no host
        if (pathStart == std::string_view::npos)
            return RequestTarget{"/", ""};
        target = rest.substr(pathStart);
        if (target.front() == '?') {
            return RequestTarget{"/", std::string(target.substr(1))};
        }
    }
    if (target.empty() || target.front() != '/')
        return std::nullopt;
    std::size_t question = target.find('?');
    RequestTarget result;
    result.path = percentDecode(target.substr(0, question));
    if (question != std::string_view::npos)
        result.query = std::string(target.substr(question + 1));
    return result;
}

QueryValues parseQuery(std::string_view query) {
    QueryValues values;
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        std::string_view piece = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
        if (piece.empty())
            continue;
        std::size_t eq = piece.find('=');
        std::string key = percentDecode(piece.substr(0, eq));
        std::string value =
            eq == std::string_view::npos ? std::string{} : percentDecode(piece.substr(eq + 1));
        // The first of a twice-given key wins: the desktop program sends "&" inside values
        // unescaped, and a value must not be able to redirect a request to another list or
        // operation through an "Info2=" or "Info3=" of its own, which always comes later.
        values.try_emplace(std::move(key), std::move(value));
    }
    return values;
}

} // namespace reef::listserver

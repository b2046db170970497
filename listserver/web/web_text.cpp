#include "listserver/web/web_text.h"

#include "listserver/core/query.h"

#include <algorithm>

namespace reef::listserver {

namespace {

// A form body is a query whose blanks were sent as "+"; "%2B" stays a plus.
std::string formDecode(std::string_view text) {
    std::string spaced(text);
    std::replace(spaced.begin(), spaced.end(), '+', ' ');
    return percentDecode(spaced);
}

} // namespace

std::string htmlEscape(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string jsonString(std::string_view utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    out.reserve(utf8.size() + 2);
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20 || c == '<' || c == '>' || c == '&' || byte == 0x7f) {
            out += "\\u00";
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xF]);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

std::string formField(std::string_view body, std::string_view name, bool* found) {
    if (found)
        *found = false;
    while (!body.empty()) {
        std::size_t end = body.find('&');
        std::string_view piece = body.substr(0, end);
        body = end == std::string_view::npos ? std::string_view{} : body.substr(end + 1);
        std::size_t equals = piece.find('=');
        if (formDecode(piece.substr(0, equals)) != name)
            continue;
        if (found)
            *found = true;
        return equals == std::string_view::npos ? std::string{}
                                                : formDecode(piece.substr(equals + 1));
    }
    return {};
}

std::string cookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        std::size_t end = header.find(';');
        std::string_view piece = header.substr(0, end);
        header = end == std::string_view::npos ? std::string_view{} : header.substr(end + 1);
        while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\t'))
            piece.remove_prefix(1);
        std::size_t equals = piece.find('=');
        if (equals != std::string_view::npos && piece.substr(0, equals) == name)
            return std::string(piece.substr(equals + 1));
    }
    return {};
}

} // namespace reef::listserver

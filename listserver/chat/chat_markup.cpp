#include "listserver/chat/chat_markup.h"

#include "text/cp1252.h"

#include <algorithm>

namespace reef::listserver {

namespace {

// U+200B ZERO WIDTH SPACE: invisible, yet no chat reads a mention or a link across it.
constexpr std::string_view kBreak = "\xE2\x80\x8B";
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

// Emphasis, code, spoilers, quotes, headings, lists, links, mentions, timestamps and the
// backslash itself. Discord shows any punctuation after a backslash as itself.
constexpr std::string_view kDiscordMarks = "\\*_~`|<>[]#-.";

// Bytes of UTF-8 sequences are never ASCII, so each byte can be looked at alone.
std::string slackText(std::string_view utf8) {
    std::string out;
    for (char c : utf8) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
        if (c == '@' || c == ']')
            out += kBreak;
    }
    return out;
}

std::string discordText(std::string_view utf8) {
    std::string out;
    for (char c : utf8) {
        if (kDiscordMarks.find(c) != std::string_view::npos)
            out += '\\';
        out += c;
        if (c == '@')
            out += kBreak;
    }
    return out;
}

std::size_t sequenceLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

} // namespace

std::string memberText(std::string_view cp1252, WebhookFormat format) {
    const std::string utf8 = text::cp1252ToUtf8(cp1252);
    switch (format) {
    case WebhookFormat::Slack:
        return slackText(utf8);
    case WebhookFormat::Discord:
        return discordText(utf8);
    case WebhookFormat::Json:
        break;
    }
    return utf8;
}

std::string cutToCharacters(std::string utf8, std::size_t limit) {
    if (limit == 0)
        return {};
    std::size_t units = 0;
    std::size_t keep = 0; // bytes that fit with the ellipsis after them
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = sequenceLength(static_cast<unsigned char>(utf8[at]));
        units += length == 4 ? 2 : 1;
        if (units <= limit - 1)
            keep = std::min(at + length, utf8.size());
        at += length;
    }
    if (units <= limit)
        return utf8;
    utf8.resize(keep);
    return utf8 += kEllipsis;
}

} // namespace reef::listserver

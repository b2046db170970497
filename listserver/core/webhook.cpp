#include "listserver/core/webhook.h"

#include <curl/curl.h>

#include <memory>

namespace reef::listserver {

namespace {

constexpr std::size_t kMaxUrlBytes = 2000;
constexpr std::size_t kMaxMentionBytes = 200;

struct UrlFree {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct TextFree {
    void operator()(char* text) const { curl_free(text); }
};

std::string urlPart(CURLU* url, CURLUPart part) {
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, 0) != CURLUE_OK || !raw)
        return {};
    std::unique_ptr<char, TextFree> text(raw);
    return text.get();
}

// Length of the UTF-8 sequence starting at text[i], or 0 when it is malformed.
std::size_t utf8Sequence(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    std::size_t length = lead < 0x80                   ? 1
                         : lead >= 0xC2 && lead < 0xE0 ? 2
                         : lead >= 0xE0 && lead < 0xF0 ? 3
                         : lead >= 0xF0 && lead < 0xF5 ? 4
                                                       : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

} // namespace

std::optional<WebhookFormat> webhookFormatOf(std::string_view name) {
    if (name == "discord")
        return WebhookFormat::Discord;
    if (name == "slack")
        return WebhookFormat::Slack;
    if (name == "json")
        return WebhookFormat::Json;
    return std::nullopt;
}

const char* webhookFormatName(WebhookFormat format) {
    switch (format) {
    case WebhookFormat::Discord:
        return "discord";
    case WebhookFormat::Slack:
        return "slack";
    case WebhookFormat::Json:
        break;
    }
    return "json";
}

std::optional<CheckedUrl> checkWebhookUrl(const std::string& url, std::string& problem) {
    if (url.empty() || url.size() > kMaxUrlBytes) {
        problem = "the URL needs 1 to " + std::to_string(kMaxUrlBytes) + " characters";
        return std::nullopt;
    }
    for (unsigned char c : url) {
        if (c <= 0x20 || c >= 0x7f) {
            problem = "the URL may hold no blanks, control or non-ASCII characters";
            return std::nullopt;
        }
    }
    std::unique_ptr<CURLU, UrlFree> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        problem = "the URL cannot be read";
        return std::nullopt;
    }
    const std::string scheme = urlPart(parsed.get(), CURLUPART_SCHEME);
    const std::string host = urlPart(parsed.get(), CURLUPART_HOST);
    if (scheme != "https" && scheme != "http") {
        problem = "the URL must begin with https://";
        return std::nullopt;
    }
    if (host.empty()) {
        problem = "the URL has no host";
        return std::nullopt;
    }
    return CheckedUrl{scheme + "://" + host, scheme == "https"};
}

bool checkMention(const std::string& mention, std::string& problem) {
    if (mention.size() > kMaxMentionBytes) {
        problem = "the mention has at most " + std::to_string(kMaxMentionBytes) + " bytes";
        return false;
    }
    for (std::size_t i = 0; i < mention.size();) {
        const std::size_t length = utf8Sequence(mention, i);
        const auto c = static_cast<unsigned char>(mention[i]);
        if (length == 0 || c < 0x20 || c == 0x7f) {
            problem = "the mention must be UTF-8 text without control characters";
            return false;
        }
        i += length;
    }
    return true;
}

} // namespace reef::listserver

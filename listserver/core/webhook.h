#pragma once
// An alliance's chat webhook: where its alerts go and in which shape.

#include <optional>
#include <string>
#include <string_view>

namespace reef::listserver {

enum class WebhookFormat { Discord, Slack, Json };

struct Webhook {
    std::string url; // holds the chat's secret token: never logged or shown whole
    WebhookFormat format = WebhookFormat::Discord;
    std::string mention; // put in front of every message, e.g. a role ping; may be empty
};

// "discord", "slack" or "json"; anything else gives nothing.
std::optional<WebhookFormat> webhookFormatOf(std::string_view name);
const char* webhookFormatName(WebhookFormat format);

// What an admin may see of the URL: scheme and host, e.g. "https://discord.com". The path,
// the query and any user or password carry the secret.
struct CheckedUrl {
    std::string shown;
    bool encrypted = false; // https
};

// Nothing, with the reason in `problem`, unless the URL is an absolute http or https URL
// with a host and nothing that could break a request or a log line.
std::optional<CheckedUrl> checkWebhookUrl(const std::string& url, std::string& problem);

// False, with the reason in `problem`, unless the mention is short UTF-8 text without
// control characters.
bool checkMention(const std::string& mention, std::string& problem);

} // namespace reef::listserver

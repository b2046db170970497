#pragma once
// A member's text as a chat shows it: as typed, never as the chat's own markup (a ping of the
// whole channel, a link under a made-up name, the bot's voice in bold). The admin's mention is
// the one text that goes out as written.

#include "listserver/core/webhook.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace reef::listserver {

// A Windows-1252 value of an entry in UTF-8 for the format. Slack-style text, which Mattermost
// and Rocket.Chat read too: "&", "<" and ">" as the entities Slack decodes, an invisible break
// after "@" ("@channel", "@all", "@here") and after "]" (a Markdown link). Discord's Markdown:
// a backslash before each mark and the break after "@". The plain JSON format, which a bot
// reads, keeps the text as it is.
std::string memberText(std::string_view cp1252, WebhookFormat format);

// At most `limit` characters as the chats count them (UTF-16 code units); a longer text is cut
// and ends in "…".
std::string cutToCharacters(std::string utf8, std::size_t limit);

} // namespace reef::listserver

#pragma once
// listserver/chat: alerts in an alliance's chat over its webhook (which entries, the messages,
// the desktop program's texts in UTF-8, the sending queue). Uses listserver/core only.
//
// From a stored entry to a message in the alliance's chat, when the entry is worth one and
// the alliance has a webhook.

#include "listserver/chat/webhook_sender.h"
#include "listserver/core/list_service.h"
#include "listserver/core/store.h"

namespace reef::listserver {

// Looks the alliance's webhook up and queues the message; never throws and never waits on
// the chat. A failure to read the webhook goes to the log.
void alertChat(ListStore& store, WebhookSender& sender, const StoredEntry& stored,
               const WebhookSender::Log& log);

} // namespace reef::listserver

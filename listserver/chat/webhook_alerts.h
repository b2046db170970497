#pragma once
// From a stored entry to a message in the alliance's chat, when the entry is worth one and
// the alliance has a webhook.

#include "listserver/list_service.h"
#include "listserver/store.h"
#include "listserver/webhook_sender.h"

namespace reef::listserver {

// Looks the alliance's webhook up and queues the message; never throws and never waits on
// the chat. A failure to read the webhook goes to the log.
void alertChat(ListStore& store, WebhookSender& sender, const StoredEntry& stored,
               const WebhookSender::Log& log);

} // namespace reef::listserver

#include "listserver/chat/webhook_alerts.h"

#include "listserver/chat/webhook_message.h"
#include "listserver/core/log_text.h"

namespace reef::listserver {

void alertChat(ListStore& store, WebhookSender& sender, const StoredEntry& stored,
               const WebhookSender::Log& log) {
    const auto kind = alertFor(stored.list, stored.previous, stored.entry);
    if (!kind)
        return;
    const std::string label = "of alliance \"" + printable(stored.allianceName) + "\"";
    try {
        const std::optional<Webhook> webhook = store.webhook(stored.alliance);
        if (!webhook)
            return;
        std::string problem;
        const auto url = checkWebhookUrl(webhook->url, problem);
        if (!url) {
            log("webhook " + label + ": not used, " + problem);
            return;
        }
        const Alert alert{*kind, stored.entry, stored.timeOfDay};
        sender.send(Delivery{webhook->url, url->shown, label + ", " + alertName(*kind),
                             webhookBody(alert, webhook->format, webhook->mention)});
    } catch (const std::exception& error) {
        log("webhook " + label + ": " + alertName(*kind) + " not sent: " + error.what());
    }
}

} // namespace reef::listserver

#include "listserver/chat/webhook_texts.h"

#include "text/cp1252.h"

#include <array>

namespace reef::listserver {

namespace {

constexpr std::int64_t kTickSeconds = 1200;
constexpr std::int64_t kTicksPerDay = 72;
// Behind now, a time of the same day within this window is past; before the morning's end a
// time further ahead than kFutureReach is yesterday's.
constexpr std::int64_t kPastWindow = 14 * 3600;
constexpr std::int64_t kFutureReach = 10 * 3600;

constexpr std::uint32_t kGreen = 0x85C23D;
constexpr std::uint32_t kRed = 0xFF4747;
constexpr std::uint32_t kBlue = 0x4ED4EC;
constexpr std::uint32_t kAmber = 0xFFCC00;
constexpr std::uint32_t kWhite = 0xFFFFFF;

constexpr std::array<HelpText, 6> kAllied = {{
    {"OK", kGreen, " hat alles unter Kontrolle."},
    {"Hilfe", kRed, " möchte Hilfe beim Ziel und wünscht Deffer bei Rückkehr. Kontaktieren!"},
    {"Deff", kRed, " hat genug Schiffe für das Ziel und sucht Deffer bei Rückkehr. Kontaktieren!"},
    {"Ziel", kBlue,
     " sucht Helfer beim Ziel und braucht keine weiteren Deffer bei Rückkehr. Kontaktieren!"},
    {"Abbruch", kAmber, " wird bald Abbrechen und bittet alle anderen, dies auch zu tun!"},
    {"", kWhite, "s Hilfewunsch ist erledigt, da dieser Spieler bereits auf dem Rückweg ist."},
}};

constexpr std::array<HelpText, 6> kEnemy = {{
    {"OK", kGreen, " hat alles unter Kontrolle."},
    {"Hilfe", kRed,
     " braucht noch unbedingt Hilfe. Vermutlich möchte dieser Spieler gedefft werden. "
     "Kontaktieren!"},
    {"kann", kBlue, " hat nichts dagegen, wenn noch mehr deffen kommen. "},
    {"Achtung", kAmber, " weis noch nichts vom Angriff und wird wohl seine Flotte verlieren."},
    {"gedefft", kWhite, " wird vom Gegner verteidigt."},
    {"", kWhite, "s Hilfewunsch hat sich erledigt, da der Gegner auf dem Rückweg ist."},
}};

constexpr std::array<const char*, 3> kMissions = {"n/a", "Verteidigen", "Angreifen"};

} // namespace

const HelpText& helpText(ListKind kind, int code) {
    const auto& table = kind == ListKind::Allied ? kAllied : kEnemy;
    return code >= 0 && code < 6 ? table[static_cast<std::size_t>(code)] : table[5];
}

const char* missionText(int modus) {
    return modus >= 0 && modus < 3 ? kMissions[static_cast<std::size_t>(modus)] : kMissions[0];
}

std::string helpSentenceOf(ListKind kind, const FleetEntry& entry) {
    return helpSentenceOf(kind, entry, text::cp1252ToUtf8);
}

std::string helpSentenceOf(ListKind kind, const FleetEntry& entry, const ShownText& shown) {
    const HelpText& help = helpText(kind, entry.Hilfe);
    if (kind == ListKind::Allied)
        return shown(entry.Name) + help.sentence;
    std::string text = shown(entry.ZielName) + help.sentence;
    if (entry.ZielName != entry.Von)
        text += " (Eingetragen von " + shown(entry.Von) + ")";
    return text;
}

int ticksUntil(std::int32_t t, std::int32_t nowTimeOfDay) {
    const std::int64_t now = nowTimeOfDay;
    const std::int64_t time = t;
    // Both comparisons strict: exactly one tick or exactly 14 hours back is not yet past.
    const bool earlierToday = now - kPastWindow < time && time < now - kTickSeconds;
    const bool yesterday = now < kPastWindow && time > now + kFutureReach;
    if (earlierToday || yesterday)
        return -1;
    std::int64_t ticks = time / kTickSeconds - now / kTickSeconds;
    if (ticks < 0)
        ticks += kTicksPerDay;
    return static_cast<int>(ticks);
}

} // namespace reef::listserver

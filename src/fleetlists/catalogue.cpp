#include "fleetlists/catalogue.h"

namespace reef::fleetlists {

namespace {

using platform::rgb;

constexpr platform::Color kGreen = rgb(133, 194, 61);
constexpr platform::Color kRed = rgb(255, 71, 71);
constexpr platform::Color kCyan = rgb(78, 212, 236);
constexpr platform::Color kAmber = rgb(255, 204, 0);

} // namespace

const HelpStatus* HelpStatusCatalogue::find(FleetListKind kind, int code) const {
    const int list = indexOf(kind);
    if (list < 0 || list >= kFleetListKindCount || code < 0 || code >= kHelpCodeCount) {
        return nullptr;
    }
    return &statuses[static_cast<std::size_t>(list)][static_cast<std::size_t>(code)];
}

const Mission* MissionTable::find(int modus) const {
    if (modus < 0 || modus >= kMissionCount) {
        return nullptr;
    }
    return &missions[static_cast<std::size_t>(modus)];
}

FleetListTables buildFleetListTables() {
    FleetListTables tables;
    tables.help.statuses[indexOf(FleetListKind::Allied)] = {{
        {"OK", kGreen, " hat alles unter Kontrolle."},
        {"Hilfe", kRed, " möchte Hilfe beim Ziel und wünscht Deffer bei Rückkehr. Kontaktieren!"},
        {"Deff", kRed,
         " hat genug Schiffe für das Ziel und sucht Deffer bei Rückkehr. Kontaktieren!"},
        {"Ziel", kCyan,
         " sucht Helfer beim Ziel und braucht keine weiteren Deffer bei Rückkehr. "
         "Kontaktieren!"},
        {"Abbruch", kAmber, " wird bald Abbrechen und bittet alle anderen, dies auch zu tun!"},
        {"", kWhite, "s Hilfewunsch ist erledigt, da dieser Spieler bereits auf dem Rückweg ist."},
    }};
    tables.help.statuses[indexOf(FleetListKind::Enemy)] = {{
        {"OK", kGreen, " hat alles unter Kontrolle."},
        {"Hilfe", kRed,
         " braucht noch unbedingt Hilfe. Vermutlich möchte dieser Spieler gedefft werden. "
         "Kontaktieren!"},
        // The trailing blank belongs to the sentence.
        {"kann", kCyan, " hat nichts dagegen, wenn noch mehr deffen kommen. "},
        {"Achtung", kAmber, " weis noch nichts vom Angriff und wird wohl seine Flotte verlieren."},
        {"gedefft", kWhite, " wird vom Gegner verteidigt."},
        {"", kWhite, "s Hilfewunsch hat sich erledigt, da der Gegner auf dem Rückweg ist."},
    }};
    tables.missions.missions = {{
        {"n/a", kWhite},
        {"Verteidigen", kGreen},
        {"Angreifen", kRed},
    }};
    return tables;
}

} // namespace reef::fleetlists

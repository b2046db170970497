#include "fleetlists/alarm_settings.h"

#include "settings/settings_file.h"

#include <string>

namespace reef::fleetlists {

namespace {

// A hand-written file must never cost the player an alert, nor raise an error box.
bool readSwitch(const settings::SettingsFile& file, const char* key, bool defaultValue) {
    const std::string value = file.readString(key);
    if (value == "1") {
        return true;
    }
    if (value == "0") {
        return false;
    }
    return defaultValue;
}

} // namespace

AlarmSettings loadAlarmSettings() {
    AlarmSettings settings;
    settings::SettingsFile file;
    if (!file.open(kAlarmFileName)) {
        return settings;
    }
    settings.enemy = readSwitch(file, "Gegner", settings.enemy);
    settings.help = readSwitch(file, "Hilfe", settings.help);
    settings.ownOnly = readSwitch(file, "NurEigene", settings.ownOnly);
    settings.sound = readSwitch(file, "Ton", settings.sound);
    file.close();
    return settings;
}

} // namespace reef::fleetlists

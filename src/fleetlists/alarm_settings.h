#pragma once
// "Alarm.dat": which downloads the tray icon tells the player of. Written by hand; every key
// is 1 or 0, and a missing file, a missing key or any other value keeps the key's default.

namespace reef::fleetlists {

inline constexpr const char* kAlarmFileName = "Alarm.dat";

struct AlarmSettings {
    bool enemy = true;    // "Gegner": new enemy entries
    bool help = true;     // "Hilfe": allied entries that call for help
    bool ownOnly = false; // "NurEigene": of the enemy entries, only attacks on the player
    bool sound = true;    // "Ton": the system's short sound with the notification

    bool operator==(const AlarmSettings&) const = default;
};

AlarmSettings loadAlarmSettings();

} // namespace reef::fleetlists

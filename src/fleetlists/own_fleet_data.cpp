#include "fleetlists/own_fleet_data.h"

#include "settings/settings_file.h"

namespace reef::fleetlists {

std::optional<OwnFleetData> loadOwnFleetData() {
    settings::SettingsFile file;
    if (!file.open(kOwnFleetFileName)) {
        return std::nullopt;
    }
    OwnFleetData data;
    data.Name = file.readString("Name");
    data.Allianz = file.readString("Allianz");
    data.Basis = file.readString("Basis");
    data.Punkte = file.readString("Punkte");
    data.Schiffe = file.readString("Schiffe");
    file.close();
    return data;
}

std::string loadOwnName() {
    settings::SettingsFile file;
    if (!file.open(kOwnFleetFileName)) {
        return {};
    }
    std::string name = file.readString("Name");
    file.close();
    return name;
}

bool saveOwnFleetData(const OwnFleetData& data) {
    settings::SettingsFile file;
    if (!file.create(kOwnFleetFileName)) {
        return false;
    }
    file.writeString("Name", data.Name);
    file.writeString("Allianz", data.Allianz);
    file.writeString("Basis", data.Basis);
    file.writeString("Punkte", data.Punkte);
    file.writeString("Schiffe", data.Schiffe);
    return file.close();
}

} // namespace reef::fleetlists

#include "etaplan/eta_plan_settings.h"

#include "settings/settings_file.h"

namespace reef::etaplan {

namespace {

constexpr const char* kTargetKey = "Ziel";
constexpr const char* kCoordinatorsKey = "Koordinator";
constexpr const char* kParticipantsKey = "Teilnehmer";
constexpr const char* kChannelKey = "Channel";
constexpr const char* kAttackTimeKey = "Zeit";
constexpr const char* kDefaultAttackTime = "0200";

} // namespace

std::optional<EtaPlanFields> loadEtaPlanSettings(const std::string& path) {
    settings::SettingsFile file;
    if (!file.open(path)) {
        return std::nullopt;
    }
    EtaPlanFields fields;
    fields.target = file.readString(kTargetKey);
    fields.coordinators = file.readString(kCoordinatorsKey);
    fields.participants = file.readString(kParticipantsKey);
    fields.channel = file.readString(kChannelKey);
    fields.attackTime = file.readString(kAttackTimeKey, kDefaultAttackTime);
    file.close();
    return fields;
}

bool saveEtaPlanSettings(const EtaPlanFields& fields, const std::string& path) {
    settings::SettingsFile file;
    if (!file.create(path)) {
        return false;
    }
    file.writeString(kTargetKey, fields.target);
    file.writeString(kCoordinatorsKey, fields.coordinators);
    file.writeString(kParticipantsKey, fields.participants);
    file.writeString(kChannelKey, fields.channel);
    file.writeString(kAttackTimeKey, fields.attackTime);
    return file.close();
}

} // namespace reef::etaplan

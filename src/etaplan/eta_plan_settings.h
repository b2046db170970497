#pragma once
// The saved inputs of the ETA plan window: "ETA-Plan.dat" in the working directory, one
// "key = value" line for each of the five fields.

#include "etaplan/eta_plan_text.h"

#include <optional>
#include <string>

namespace reef::etaplan {

inline constexpr const char* kEtaPlanSettingsPath = "ETA-Plan.dat";

// The saved fields, or nothing when the file does not exist or cannot be read. A missing
// key gives an empty text, a missing attack time "0200"; values come back as saved, the
// attack time not normalised.
std::optional<EtaPlanFields> loadEtaPlanSettings(const std::string& path = kEtaPlanSettingsPath);

// Replaces the file with the five fields, in the order target, coordinators,
// participants, channel, attack time. False when it could not be written.
bool saveEtaPlanSettings(const EtaPlanFields& fields,
                         const std::string& path = kEtaPlanSettingsPath);

} // namespace reef::etaplan

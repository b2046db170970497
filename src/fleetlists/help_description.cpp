#include "fleetlists/help_description.h"

namespace reef::fleetlists {

std::string helpDescription(const HelpStatusCatalogue& catalogue, FleetListKind kind, int code,
                            const FleetEntry& entry) {
    const HelpStatus* status = catalogue.find(kind, code);
    if (status == nullptr) {
        return {};
    }
    if (kind == FleetListKind::Allied) {
        return entry.Name + status->description;
    }
    std::string text = entry.ZielName + status->description;
    if (entry.ZielName != entry.Von) {
        text += " (Eingetragen von " + entry.Von + ")";
    }
    return text;
}

int helpCodeOfName(const HelpStatusCatalogue& catalogue, FleetListKind kind,
                   std::string_view name) {
    for (int code = 0; code < kHelpCodeCount; ++code) {
        const HelpStatus* status = catalogue.find(kind, code);
        if (status != nullptr && status->name == name) {
            return code;
        }
    }
    return -1;
}

} // namespace reef::fleetlists

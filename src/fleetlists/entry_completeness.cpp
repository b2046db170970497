#include "fleetlists/entry_completeness.h"

#include <array>
#include <utility>

namespace reef::fleetlists {

std::optional<RequiredField> firstMissingField(FleetListKind kind, const EntryFieldTexts& fields) {
    const std::array<std::pair<RequiredField, const std::string*>, 7> common{{
        {RequiredField::Name, &fields.Name},
        {RequiredField::Basis, &fields.Basis},
        {RequiredField::Schiffe, &fields.Schiffe},
        {RequiredField::ZielName, &fields.ZielName},
        {RequiredField::ZielBasis, &fields.ZielBasis},
        {RequiredField::BasisZeit, &fields.BasisZeit},
        {RequiredField::Password, &fields.password},
    }};
    for (const auto& [field, text] : common) {
        if (text->empty()) {
            return field;
        }
    }
    if (kind == FleetListKind::Enemy && fields.Von.empty()) {
        return RequiredField::Von;
    }
    return std::nullopt;
}

bool isEntryComplete(FleetListKind kind, const EntryFieldTexts& fields) {
    return !firstMissingField(kind, fields).has_value();
}

} // namespace reef::fleetlists

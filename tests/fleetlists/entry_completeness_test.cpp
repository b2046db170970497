#include "fleetlists/entry_completeness.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace reef::fleetlists;

namespace {

EntryFieldTexts filled() {
    EntryFieldTexts fields;
    fields.Name = "Paul";
    fields.Basis = "1:2:3";
    fields.Schiffe = "100";
    fields.ZielName = "Zora";
    fields.ZielBasis = "4:5:6";
    fields.BasisZeit = "10:20";
    fields.password = "geheim";
    fields.Von = "Bert";
    return fields;
}

using Clear = void (*)(EntryFieldTexts&);

const std::vector<std::pair<RequiredField, Clear>>& requiredInOrder() {
    static const std::vector<std::pair<RequiredField, Clear>> fields{
        {RequiredField::Name, [](EntryFieldTexts& f) { f.Name.clear(); }},
        {RequiredField::Basis, [](EntryFieldTexts& f) { f.Basis.clear(); }},
        {RequiredField::Schiffe, [](EntryFieldTexts& f) { f.Schiffe.clear(); }},
        {RequiredField::ZielName, [](EntryFieldTexts& f) { f.ZielName.clear(); }},
        {RequiredField::ZielBasis, [](EntryFieldTexts& f) { f.ZielBasis.clear(); }},
        {RequiredField::BasisZeit, [](EntryFieldTexts& f) { f.BasisZeit.clear(); }},
        {RequiredField::Password, [](EntryFieldTexts& f) { f.password.clear(); }},
    };
    return fields;
}

} // namespace

TEST(IsEntryComplete, AllRequiredFieldsFilled) {
    EXPECT_TRUE(isEntryComplete(FleetListKind::Allied, filled()));
    EXPECT_TRUE(isEntryComplete(FleetListKind::Enemy, filled()));
}

TEST(IsEntryComplete, EachMissingFieldInTurn) {
    for (const auto kind : {FleetListKind::Allied, FleetListKind::Enemy}) {
        for (const auto& [field, clear] : requiredInOrder()) {
            EntryFieldTexts fields = filled();
            clear(fields);
            EXPECT_FALSE(isEntryComplete(kind, fields)) << static_cast<int>(field);
            EXPECT_EQ(firstMissingField(kind, fields), field);
        }
    }
}

TEST(IsEntryComplete, VonIsRequiredInTheEnemyListOnly) {
    EntryFieldTexts fields = filled();
    fields.Von.clear();
    EXPECT_TRUE(isEntryComplete(FleetListKind::Allied, fields));
    EXPECT_FALSE(isEntryComplete(FleetListKind::Enemy, fields));
    EXPECT_EQ(firstMissingField(FleetListKind::Enemy, fields), RequiredField::Von);
}

TEST(IsEntryComplete, FieldsAreTestedInOrder) {
    EntryFieldTexts fields;
    EXPECT_EQ(firstMissingField(FleetListKind::Enemy, fields), RequiredField::Name);
    fields = filled();
    fields.BasisZeit.clear();
    fields.password.clear();
    fields.Von.clear();
    EXPECT_EQ(firstMissingField(FleetListKind::Enemy, fields), RequiredField::BasisZeit);
}

TEST(IsEntryComplete, BlanksCountAsFilled) {
    // Only an empty field is missing; the dialogs do not trim.
    EntryFieldTexts fields = filled();
    fields.Name.assign(1, ' ');
    EXPECT_TRUE(isEntryComplete(FleetListKind::Allied, fields));
}

#include "fleetlists/entry_dialog_layout.h"

#include <array>
#include <utility>

namespace reef::fleetlists {

namespace {

using platform::Rect;

constexpr int kRowHeight = 17;
// The closed height of a drop-down list; the system sizes it by its font anyway.
constexpr int kDropDownHeight = 20;

struct FieldRow {
    const char* label;
    EntrySlot slot;
};

constexpr std::array<FieldRow, 5> kOwnRows = {{
    {"Name*:", EntrySlot::Name},
    {"Allianz:", EntrySlot::Allianz},
    {"Basis*:", EntrySlot::Basis},
    {"Punkte:", EntrySlot::Punkte},
    {"Schiffe*:", EntrySlot::Schiffe},
}};

constexpr std::array<FieldRow, 4> kTargetRows = {{
    {"Name*:", EntrySlot::ZielName},
    {"Allianz:", EntrySlot::ZielAllianz},
    {"Basis*:", EntrySlot::ZielBasis},
    {"Punkte:", EntrySlot::ZielPunkte},
}};

// Labels sit one pixel below their fields, so that the texts share a line.
constexpr int labelY(std::size_t row) {
    return 26 + static_cast<int>(row) * kRowHeight;
}
constexpr int fieldY(std::size_t row) {
    return labelY(row) - 1;
}

// Where the two kinds differ.
struct KindPlaces {
    const char* ownFrame;
    int arrivalFrameHeight;
    int helpLabelY;
    int helpListY;
    Rect note;
    Rect passwordLabel;
    Rect passwordField;
    int buttonY;
};

constexpr KindPlaces kAlliedPlaces{
    .ownFrame = "Daten der eigenen Flotte",
    .arrivalFrameHeight = 70,
    .helpLabelY = 188,
    .helpListY = 184,
    .note = Rect{0, 149, 222, 34},
    .passwordLabel = Rect{5, 184, 50, 17},
    .passwordField = Rect{55, 183, 150, 17},
    .buttonY = 212,
};

constexpr KindPlaces kEnemyPlaces{
    .ownFrame = "Daten der feindlichen Flotte",
    .arrivalFrameHeight = 60,
    .helpLabelY = 195,
    .helpListY = 191,
    .note = Rect{0, 217, 445, 17},
    .passwordLabel = Rect{240, 216, 50, 17},
    .passwordField = Rect{290, 215, 140, 17},
    .buttonY = 239,
};

DialogControl frame(Rect rect, const char* caption) {
    return {.kind = DialogControlKind::Frame, .rect = rect, .text = caption};
}

DialogControl label(Rect rect, const char* text) {
    return {.kind = DialogControlKind::Label, .rect = rect, .text = text};
}

DialogControl slotControl(DialogControlKind kind, Rect rect, EntrySlot slot, int dropHeight = 0) {
    return {.kind = kind, .rect = rect, .slot = slot, .dropHeight = dropHeight};
}

} // namespace

int entryDialogHeight(FleetListKind kind) {
    return kind == FleetListKind::Enemy ? kEnemyDialogHeight : kAlliedDialogHeight;
}

std::vector<DialogControl> entryDialogLayout(FleetListKind kind) {
    const bool enemy = kind == FleetListKind::Enemy;
    const KindPlaces& at = enemy ? kEnemyPlaces : kAlliedPlaces;
    std::vector<DialogControl> controls;
    const auto add = [&controls](DialogControl placed) { controls.push_back(std::move(placed)); };

    add(frame(Rect{5, 5, 200, 140}, at.ownFrame));
    for (std::size_t row = 0; row < kOwnRows.size(); ++row) {
        add(label(Rect{20, labelY(row), 50, kRowHeight}, kOwnRows[row].label));
        add(slotControl(DialogControlKind::Field, Rect{70, fieldY(row), 100, kRowHeight},
                        kOwnRows[row].slot));
    }
    add(label(Rect{20, 114, 50, kRowHeight}, "Auftrag:"));
    add(slotControl(DialogControlKind::DropDown, Rect{70, 110, 100, kDropDownHeight},
                    EntrySlot::Modus, 80));

    add(frame(Rect{240, 5, 200, 100}, "Daten des Ziels"));
    for (std::size_t row = 0; row < kTargetRows.size(); ++row) {
        add(label(Rect{255, labelY(row), 50, kRowHeight}, kTargetRows[row].label));
        add(slotControl(DialogControlKind::Field, Rect{305, fieldY(row), 100, kRowHeight},
                        kTargetRows[row].slot));
    }

    add(frame(Rect{240, 110, 200, at.arrivalFrameHeight}, "Ankunft der Flotte (Uhrzeit)"));
    add(label(Rect{255, 131, 60, kRowHeight}, "am Ziel:"));
    add(slotControl(DialogControlKind::Field, Rect{315, 130, 90, kRowHeight}, EntrySlot::ZielZeit));
    add(slotControl(DialogControlKind::TickLabel, Rect{410, 131, 20, kRowHeight},
                    EntrySlot::ZielTicks));
    add(label(Rect{255, 148, 60, kRowHeight}, "Rückkehr*:"));
    add(slotControl(DialogControlKind::Field, Rect{315, 147, 90, kRowHeight},
                    EntrySlot::BasisZeit));
    add(slotControl(DialogControlKind::TickLabel, Rect{410, 148, 20, kRowHeight},
                    EntrySlot::BasisTicks));

    add(label(Rect{240, at.helpLabelY, 70, 20}, "Hilfe-/ Status:"));
    add(slotControl(DialogControlKind::DropDown, Rect{310, at.helpListY, 95, kDropDownHeight},
                    EntrySlot::Hilfe, 120));
    add({.kind = DialogControlKind::Button,
         .rect = Rect{410, at.helpListY, 20, 20},
         .text = "?",
         .slot = EntrySlot::HelpButton});

    if (enemy) {
        add(frame(Rect{5, 150, 200, 60}, "Sonstige Daten"));
        add(label(Rect{20, 165, 160, kRowHeight}, "Eintragung getätigt von*:"));
        add(slotControl(DialogControlKind::Field, Rect{20, 181, 160, kRowHeight}, EntrySlot::Von));
    }

    add({.kind = DialogControlKind::StarredNote,
         .rect = at.note,
         .text = "Felder mit einem Stern müssen ausgefüllt werden!"});
    add(label(at.passwordLabel, "Passwort:"));
    add(slotControl(DialogControlKind::PasswordField, at.passwordField, EntrySlot::Password));

    add({.kind = DialogControlKind::Button,
         .rect = Rect{15, at.buttonY, 200, 25},
         .text = "Übernehmen",
         .button = DialogButton::Submit});
    add({.kind = DialogControlKind::Button,
         .rect = Rect{225, at.buttonY, 200, 25},
         .text = "Abbrechen",
         .button = DialogButton::Cancel});
    return controls;
}

} // namespace reef::fleetlists

#pragma once
// Where every control of the two entry dialogs sits, and what it shows at first. The dialog
// creates them in this order, which is also the order Tab walks.

#include "fleetlists/fleet_entry.h"
#include "fleetlists/list_window_state.h"
#include "platform/handles.h"

#include <optional>
#include <vector>

namespace reef::fleetlists {

inline constexpr int kEntryDialogWidth = 445;
inline constexpr int kAlliedDialogHeight = 242;
inline constexpr int kEnemyDialogHeight = 272;

// The most the list server stores of a value: a longer text could only be refused there.
inline constexpr int kMaxEntryFieldLength = 100;

inline constexpr platform::Color kTickLabelColor = platform::rgb(167, 167, 167);
inline constexpr platform::Color kStarredNoteColor = platform::rgb(32, 79, 223);

inline constexpr const char* kTimeFieldTooltip =
    "Die graue Zahl hinter dem Eingabefeld zeigt die ETA-Dauer.";

enum class DialogControlKind {
    Frame,
    Label,
    TickLabel,   // grey, starts empty
    StarredNote, // the blue line about the starred fields, centred
    Field,
    PasswordField,
    DropDown,
    Button,
};

// The two buttons that are no slot of EntryDialogFields.
enum class DialogButton { Submit, Cancel };

struct DialogControl {
    DialogControlKind kind = DialogControlKind::Label;
    platform::Rect rect{};
    const char* text = ""; // caption or label; empty for fields and lists
    std::optional<EntrySlot> slot{};
    std::optional<DialogButton> button{};
    int dropHeight = 0; // drop-down lists
};

std::vector<DialogControl> entryDialogLayout(FleetListKind kind);

int entryDialogHeight(FleetListKind kind);

} // namespace reef::fleetlists

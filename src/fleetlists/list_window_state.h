#pragma once
// What each list keeps between its window, its entry dialog and its workers. The rows outlive
// the window: closing it keeps them for the next opening.

#include "fleetlists/entry_submission.h"
#include "fleetlists/fleet_entry.h"
#include "platform/handles.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace reef::fleetlists {

// The control slots of an entry dialog (see EntrySlot); empty while the dialog is closed.
inline constexpr int kEntryDialogSlotCount = 19;
using EntryDialogFields = std::array<platform::ControlId, kEntryDialogSlotCount>;

// What each slot holds. Slot 17 holds nothing, and Von exists in the enemy dialog only.
enum class EntrySlot {
    Hilfe = 0,      // drop-down list of the help codes 0 to 4
    HelpButton = 1, // "?"
    Name = 2,
    Allianz = 3,
    Basis = 4,
    Punkte = 5,
    Modus = 6, // drop-down list of the missions
    Schiffe = 7,
    ZielName = 8,
    ZielAllianz = 9,
    ZielBasis = 10,
    ZielPunkte = 11,
    Von = 12,
    ZielZeit = 13,   // "am Ziel"
    BasisZeit = 14,  // "Rückkehr"
    ZielTicks = 15,  // grey tick label after "am Ziel"
    BasisTicks = 16, // grey tick label after "Rückkehr"
    Password = 18,
};

inline platform::ControlId& slotOf(EntryDialogFields& fields, EntrySlot slot) {
    return fields[static_cast<std::size_t>(slot)];
}
inline platform::ControlId slotOf(const EntryDialogFields& fields, EntrySlot slot) {
    return fields[static_cast<std::size_t>(slot)];
}

struct ListWindowState {
    platform::WindowId window; // empty while closed
    platform::ControlId listView;
    platform::ControlId descriptionLine;
    platform::ControlId intervalField;
    platform::ControlId statusBar;
    platform::ControlId newButton;
    platform::ControlId changeButton;
    platform::ControlId refreshButton;

    std::vector<FleetEntry> rows;    // in display order; owned by the user-interface thread
    std::int32_t interval = 0;       // auto-update, minutes; 0 or below: off
    std::int64_t lastUpdateTick = 0; // tick count (ms) at the end of the last download
    std::int64_t tickMark = 0;       // start of the 20-minute slot last shown (seconds)
    int downloadRetries = 0;

    // Every opening of the window gets a new number. A worker carries the number of the
    // opening it was started for; what it hands back for an older one is dropped.
    std::uint64_t generation = 0;
    // The generation of the open window, 0 while it is closed or the program ends: the
    // window check of a worker, which reads it from its own thread and may outlive the state.
    std::shared_ptr<std::atomic<std::uint64_t>> openGeneration =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    // A download or submission worker of this list runs. It stays set across a close and
    // reopen until that worker has ended, so that a list never has two workers.
    bool workerBusy = false;

    platform::WindowId dialog; // the open entry dialog, empty while none
    // Every opening of an entry dialog gets a new number, as the window does.
    std::uint64_t dialogGeneration = 0;
    EntryDialogFields dialogFields{};
    platform::ControlId dialogSubmitButton; // "Übernehmen"
    platform::ControlId dialogCancelButton; // "Abbrechen"
    DialogMode dialogMode = DialogMode::New;
    FleetEntry editCopy; // the entry a change dialog edits
};

} // namespace reef::fleetlists

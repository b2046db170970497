#include "fleetlists/entry_dialog.h"

#include "fleetlists/entry_completeness.h"
#include "fleetlists/entry_dialog_layout.h"
#include "fleetlists/entry_time_field.h"
#include "fleetlists/list_view_fill.h"
#include "fleetlists/list_window.h"
#include "fleetlists/own_fleet_data.h"
#include "help/help_documents.h"
#include "platform/tool_window.h"

#include <array>
#include <cstddef>

namespace reef::fleetlists {

namespace {

using platform::ControlEventType;
using platform::ControlId;
using platform::Platform;

// Help codes a player can choose (the settled code 5 has no item) and the two of each list
// the enemy dialog keeps together with a mission.
constexpr int kChoosableHelpCodes = 5;
constexpr int kHelpOk = 0;
constexpr int kEnemyHelpDefended = 4; // "gedefft"
constexpr int kMissionDefend = 1;     // "Verteidigen"
constexpr int kMissionAttack = 2;     // "Angreifen"

using SlotTexts = std::array<std::string, kEntryDialogSlotCount>;

// The column of the list row that prefills a field when a row is changed. The optional
// fields show "n/a" in the list for a value not given, which is no text to send back; so do
// both time columns for a time outside the day, which leaves "Rückkehr" empty for the player
// to fill in rather than sending a time nobody chose.
struct RowCell {
    EntrySlot slot;
    int column;
    bool mayShowNotGiven;
};

constexpr std::array<RowCell, 11> kRowCells = {{
    {EntrySlot::Name, 1, false},
    {EntrySlot::Allianz, 2, true},
    {EntrySlot::Basis, 3, false},
    {EntrySlot::Punkte, 4, true},
    {EntrySlot::Schiffe, 5, false},
    {EntrySlot::ZielName, 7, false},
    {EntrySlot::ZielAllianz, 8, true},
    {EntrySlot::ZielBasis, 9, false},
    {EntrySlot::ZielPunkte, 10, true},
    {EntrySlot::ZielZeit, 12, true},  // "Impakt Time", "hh:mm:00"
    {EntrySlot::BasisZeit, 14, true}, // "Uhrzeit Rückkehr"
}};

// What the dialog shows when it opens.
struct Prefill {
    SlotTexts texts;
    int mission = -1;
    int help = -1;
};

std::string& textOf(SlotTexts& texts, EntrySlot slot) {
    return texts[static_cast<std::size_t>(slot)];
}
const std::string& textOf(const SlotTexts& texts, EntrySlot slot) {
    return texts[static_cast<std::size_t>(slot)];
}

std::string caption(FleetListKind kind, const std::string& suffix) {
    // The enemy caption is spelled so.
    return (kind == FleetListKind::Enemy ? "Reef - Tools: Gegnerrische Flotten - "
                                         : "Reef - Tools: Verbündete Flotten - ") +
           suffix;
}

help::HelpDocument helpDocumentOf(FleetListKind kind) {
    return kind == FleetListKind::Enemy ? help::HelpDocument::EnemyStatuses
                                        : help::HelpDocument::AlliedStatuses;
}

std::string helpButtonTooltip(FleetListKind kind) {
    return "Erstellt die Datei '" + std::string(help::helpDocumentFileName(helpDocumentOf(kind))) +
           "' und öffnet diese.";
}

Prefill prefillFromRow(Platform& ui, const FleetLists& fleet, FleetListKind kind, int row) {
    const ControlId view = fleet.list(kind).listView;
    Prefill prefill;
    for (const RowCell& cell : kRowCells) {
        std::string text = ui.listCell(view, row, cell.column);
        if (cell.mayShowNotGiven && text == kNotGivenText) {
            text.clear();
        }
        textOf(prefill.texts, cell.slot) = std::move(text);
    }
    const std::string mission = ui.listCell(view, row, kMissionColumn);
    for (int modus = 0; modus < kMissionCount; ++modus) {
        if (fleet.tables.missions.missions[static_cast<std::size_t>(modus)].text == mission) {
            prefill.mission = modus;
            break;
        }
    }
    // A settled row has an empty help cell, which no choosable name matches.
    const std::string help = ui.listCell(view, row, kHelpColumn);
    for (int code = 0; code < kChoosableHelpCodes; ++code) {
        if (fleet.tables.help.find(kind, code)->name == help) {
            prefill.help = code;
            break;
        }
    }
    return prefill;
}

Prefill newEntryPrefill(FleetListKind kind) {
    Prefill prefill;
    prefill.mission = kMissionAttack;
    prefill.help = kHelpOk;
    if (kind == FleetListKind::Allied) {
        if (const std::optional<OwnFleetData> own = loadOwnFleetData()) {
            textOf(prefill.texts, EntrySlot::Name) = own->Name;
            textOf(prefill.texts, EntrySlot::Allianz) = own->Allianz;
            textOf(prefill.texts, EntrySlot::Basis) = own->Basis;
            textOf(prefill.texts, EntrySlot::Punkte) = own->Punkte;
            textOf(prefill.texts, EntrySlot::Schiffe) = own->Schiffe;
        }
    }
    return prefill;
}

Prefill dialogPrefill(Platform& ui, const FleetLists& fleet, FleetListKind kind, int row) {
    Prefill prefill = row < 0 ? newEntryPrefill(kind) : prefillFromRow(ui, fleet, kind, row);
    // The enemy list records who made the entry: the player's own name, in both modes.
    if (kind == FleetListKind::Enemy) {
        textOf(prefill.texts, EntrySlot::Von) = loadOwnName();
    }
    textOf(prefill.texts, EntrySlot::Password) = fleet.password;
    return prefill;
}

ControlId createControl(Platform& ui, platform::WindowId window, const DialogControl& placed,
                        const std::string& text) {
    switch (placed.kind) {
    case DialogControlKind::Frame:
        return ui.createFrame(window, placed.rect, placed.text);
    case DialogControlKind::Label:
        return ui.createLabel(window, placed.rect, placed.text, platform::LabelStyle{});
    case DialogControlKind::TickLabel:
        return ui.createLabel(window, placed.rect, "",
                              platform::LabelStyle{.textColor = kTickLabelColor});
    case DialogControlKind::StarredNote:
        return ui.createLabel(window, placed.rect, placed.text,
                              platform::LabelStyle{.align = platform::TextAlign::Center,
                                                   .textColor = kStarredNoteColor});
    case DialogControlKind::Field:
        return ui.createEdit(window, placed.rect, text,
                             platform::EditStyle{.maxLength = kMaxEntryFieldLength});
    case DialogControlKind::PasswordField:
        return ui.createEdit(
            window, placed.rect, text,
            platform::EditStyle{.masked = true, .maxLength = kMaxEntryFieldLength});
    case DialogControlKind::DropDown:
        return ui.createDropDown(window, placed.rect, placed.dropHeight);
    case DialogControlKind::Button:
        return ui.createButton(window, placed.rect, placed.text);
    }
    return {};
}

void fillLists(Platform& ui, const FleetLists& fleet, FleetListKind kind, const Prefill& prefill) {
    const EntryDialogFields& fields = fleet.list(kind).dialogFields;
    const ControlId missions = slotOf(fields, EntrySlot::Modus);
    for (const Mission& mission : fleet.tables.missions.missions) {
        ui.addDropDownItem(missions, mission.text);
    }
    ui.setDropDownSelection(missions, prefill.mission);
    const ControlId help = slotOf(fields, EntrySlot::Hilfe);
    for (int code = 0; code < kChoosableHelpCodes; ++code) {
        ui.addDropDownItem(help, fleet.tables.help.find(kind, code)->name);
    }
    ui.setDropDownSelection(help, prefill.help);
}

bool createControls(Platform& ui, FleetLists& fleet, FleetListKind kind, platform::WindowId window,
                    const Prefill& prefill) {
    ListWindowState& list = fleet.list(kind);
    for (const DialogControl& placed : entryDialogLayout(kind)) {
        const std::string text = placed.slot ? textOf(prefill.texts, *placed.slot) : std::string();
        const ControlId control = createControl(ui, window, placed, text);
        if (!control) {
            return false;
        }
        if (placed.slot) {
            slotOf(list.dialogFields, *placed.slot) = control;
        }
        if (placed.button == DialogButton::Submit) {
            list.dialogSubmitButton = control;
        } else if (placed.button == DialogButton::Cancel) {
            list.dialogCancelButton = control;
        }
    }
    fillLists(ui, fleet, kind, prefill);
    const EntryDialogFields& fields = list.dialogFields;
    ui.setTooltip(slotOf(fields, EntrySlot::ZielZeit), kTimeFieldTooltip);
    ui.setTooltip(slotOf(fields, EntrySlot::BasisZeit), kTimeFieldTooltip);
    ui.setTooltip(slotOf(fields, EntrySlot::HelpButton), helpButtonTooltip(kind));
    // A new allied entry waits for its fields; a change starts from a complete row. The enemy
    // dialog goes by who makes the entry alone until the first check. A row whose return time
    // lay outside the day opens with "Rückkehr" empty, and waits for it in either list.
    const bool submitEnabled =
        (kind == FleetListKind::Enemy ? !textOf(prefill.texts, EntrySlot::Von).empty()
                                      : list.dialogMode == DialogMode::Change) &&
        (list.dialogMode == DialogMode::New ||
         !textOf(prefill.texts, EntrySlot::BasisZeit).empty());
    ui.setEnabled(list.dialogSubmitButton, submitEnabled);
    return true;
}

std::string fieldText(Platform& ui, const ListWindowState& list, EntrySlot slot) {
    return ui.text(slotOf(list.dialogFields, slot));
}

EntrySubmission readSubmission(Platform& ui, const ListWindowState& list, FleetListKind kind) {
    EntrySubmission submission;
    submission.kind = kind;
    submission.mode = list.dialogMode;
    submission.helpSelection = ui.dropDownSelection(slotOf(list.dialogFields, EntrySlot::Hilfe));
    submission.missionSelection = ui.dropDownSelection(slotOf(list.dialogFields, EntrySlot::Modus));
    submission.Name = fieldText(ui, list, EntrySlot::Name);
    submission.Allianz = fieldText(ui, list, EntrySlot::Allianz);
    submission.Basis = fieldText(ui, list, EntrySlot::Basis);
    submission.Punkte = fieldText(ui, list, EntrySlot::Punkte);
    submission.Schiffe = fieldText(ui, list, EntrySlot::Schiffe);
    submission.ZielName = fieldText(ui, list, EntrySlot::ZielName);
    submission.ZielAllianz = fieldText(ui, list, EntrySlot::ZielAllianz);
    submission.ZielBasis = fieldText(ui, list, EntrySlot::ZielBasis);
    submission.ZielPunkte = fieldText(ui, list, EntrySlot::ZielPunkte);
    if (kind == FleetListKind::Enemy) {
        submission.Von = fieldText(ui, list, EntrySlot::Von);
    }
    submission.ZielZeit = fieldText(ui, list, EntrySlot::ZielZeit);
    submission.BasisZeit = fieldText(ui, list, EntrySlot::BasisZeit);
    submission.password = fieldText(ui, list, EntrySlot::Password);
    if (list.dialogMode == DialogMode::Change) {
        submission.editCopy = list.editCopy;
    }
    return submission;
}

// The completeness check sees the same texts that "Übernehmen" would send.
void checkCompleteness(Platform& ui, const ListWindowState& list, FleetListKind kind) {
    const EntrySubmission entry = readSubmission(ui, list, kind);
    EntryFieldTexts texts;
    texts.Name = entry.Name;
    texts.Basis = entry.Basis;
    texts.Schiffe = entry.Schiffe;
    texts.ZielName = entry.ZielName;
    texts.ZielBasis = entry.ZielBasis;
    texts.BasisZeit = entry.BasisZeit;
    texts.password = entry.password;
    texts.Von = entry.Von;
    ui.setEnabled(list.dialogSubmitButton, isEntryComplete(kind, texts));
}

// "am Ziel" is optional: an empty field stays empty and shows no ticks.
void onTargetTimeEvent(Platform& ui, const ListWindowState& list, ControlEventType type) {
    const ControlId field = slotOf(list.dialogFields, EntrySlot::ZielZeit);
    if (type == ControlEventType::LostFocus && !ui.text(field).empty()) {
        ui.setText(field, snappedTimeText(ui.text(field)));
    }
    const std::string text = ui.text(field);
    ui.setText(slotOf(list.dialogFields, EntrySlot::ZielTicks),
               text.empty() ? std::string() : tickLabelText(text, ui.clock().localNow()));
}

// "Rückkehr" is required: leaving it empty makes it 00:00, which then counts as filled.
void onReturnTimeEvent(Platform& ui, const ListWindowState& list, ControlEventType type) {
    const ControlId field = slotOf(list.dialogFields, EntrySlot::BasisZeit);
    if (type == ControlEventType::LostFocus) {
        ui.setText(field, snappedTimeText(ui.text(field)));
    }
    ui.setText(slotOf(list.dialogFields, EntrySlot::BasisTicks),
               tickLabelText(ui.text(field), ui.clock().localNow()));
}

// In the enemy list a defended target and the mission "Verteidigen" go together.
void onEnemyMissionEvent(Platform& ui, const ListWindowState& list) {
    const ControlId help = slotOf(list.dialogFields, EntrySlot::Hilfe);
    if (ui.dropDownSelection(slotOf(list.dialogFields, EntrySlot::Modus)) == kMissionDefend) {
        ui.setDropDownSelection(help, kEnemyHelpDefended);
    } else if (ui.dropDownSelection(help) == kEnemyHelpDefended) {
        ui.setDropDownSelection(help, kHelpOk);
    }
}

void onEnemyHelpEvent(Platform& ui, const ListWindowState& list) {
    const ControlId mission = slotOf(list.dialogFields, EntrySlot::Modus);
    if (ui.dropDownSelection(slotOf(list.dialogFields, EntrySlot::Hilfe)) == kEnemyHelpDefended) {
        ui.setDropDownSelection(mission, kMissionDefend);
    } else if (ui.dropDownSelection(mission) == kMissionDefend) {
        ui.setDropDownSelection(mission, kMissionAttack);
    }
}

void cancelDialog(Platform& ui, FleetLists& fleet, FleetListKind kind) {
    closeEntryDialog(ui, fleet, kind);
    const ListWindowState& list = fleet.list(kind);
    if (list.window) {
        giveButtonsBack(ui, list);
        setStatusField(ui, list, 2, "Status: Abgebrochen");
    }
}

EntrySubmission submit(Platform& ui, FleetLists& fleet, FleetListKind kind) {
    const ListWindowState& list = fleet.list(kind);
    EntrySubmission submission = readSubmission(ui, list, kind);
    if (kind == FleetListKind::Allied && list.dialogMode == DialogMode::New) {
        // Not being able to remember the own fleet costs only the next prefill.
        saveOwnFleetData(OwnFleetData{.Name = submission.Name,
                                      .Allianz = submission.Allianz,
                                      .Basis = submission.Basis,
                                      .Punkte = submission.Punkte,
                                      .Schiffe = submission.Schiffe});
    }
    fleet.password = submission.password;
    return submission;
}

bool isControlOf(const ListWindowState& list, ControlId control) {
    for (const ControlId slot : list.dialogFields) {
        if (slot && slot == control) {
            return true;
        }
    }
    return false;
}

} // namespace

platform::WindowId openEntryDialog(Platform& ui, FleetLists& fleet, FleetListKind kind,
                                   const std::string& captionSuffix, int row) {
    ListWindowState& list = fleet.list(kind);
    const Prefill prefill = dialogPrefill(ui, fleet, kind, row);
    const platform::WindowId window =
        platform::openToolWindow(ui, caption(kind, captionSuffix), kEntryDialogWidth,
                                 entryDialogHeight(kind), [&](platform::WindowId opened) {
                                     return createControls(ui, fleet, kind, opened, prefill);
                                 });
    if (!window) {
        list.dialog = {};
        list.dialogFields = {};
        list.dialogSubmitButton = {};
        list.dialogCancelButton = {};
        return {};
    }
    list.dialog = window;
    list.dialogGeneration += 1;
    return window;
}

std::optional<EntrySubmission> handleEntryDialogEvent(Platform& ui, FleetLists& fleet,
                                                      FleetListKind kind,
                                                      const platform::Event& event) {
    ListWindowState& list = fleet.list(kind);
    // While a submission runs its worker owns the dialog (and has disabled it); an event
    // that was on its way before that is dropped.
    if (!list.dialog || event.window != list.dialog || list.workerBusy) {
        return std::nullopt;
    }
    if (event.kind == platform::EventKind::CloseRequest) {
        cancelDialog(ui, fleet, kind);
        return std::nullopt;
    }
    if (event.kind != platform::EventKind::Control) {
        return std::nullopt;
    }
    const ControlId control = event.control;
    const bool activated = event.controlType == ControlEventType::Activated;
    const EntryDialogFields& fields = list.dialogFields;
    const bool enemy = kind == FleetListKind::Enemy;
    if (control == list.dialogSubmitButton) {
        // A click that was queued before the button was disabled sends nothing.
        if (activated && ui.isEnabled(control)) {
            return submit(ui, fleet, kind);
        }
        return std::nullopt;
    }
    if (control == list.dialogCancelButton) {
        if (activated) {
            cancelDialog(ui, fleet, kind);
        }
        return std::nullopt;
    }
    if (control == slotOf(fields, EntrySlot::HelpButton)) {
        if (activated) {
            help::writeHelpDocument(ui, helpDocumentOf(kind));
        }
        return std::nullopt;
    }
    if (control == slotOf(fields, EntrySlot::ZielZeit)) {
        onTargetTimeEvent(ui, list, event.controlType);
        return std::nullopt;
    }
    if (enemy && control == slotOf(fields, EntrySlot::Modus)) {
        onEnemyMissionEvent(ui, list);
        return std::nullopt;
    }
    if (enemy && control == slotOf(fields, EntrySlot::Hilfe)) {
        onEnemyHelpEvent(ui, list);
        return std::nullopt;
    }
    if (control == slotOf(fields, EntrySlot::BasisZeit)) {
        onReturnTimeEvent(ui, list, event.controlType);
    } else if (!isControlOf(list, control)) {
        return std::nullopt;
    }
    checkCompleteness(ui, list, kind);
    return std::nullopt;
}

void closeEntryDialog(Platform& ui, FleetLists& fleet, FleetListKind kind) {
    ListWindowState& list = fleet.list(kind);
    if (list.dialog) {
        ui.closeWindow(list.dialog);
    }
    list.dialog = {};
    list.dialogFields = {};
    list.dialogSubmitButton = {};
    list.dialogCancelButton = {};
}

} // namespace reef::fleetlists

#pragma once
// What the user-interface thread does with rows that came from a list server or a cache file,
// for the fuzz targets that read them: sort them (a download), fill the list view on the
// in-memory backend, rewrite the countdowns later, open the change dialog on one row and press
// "Übernehmen". Every row must be shown with all its cells, the countdowns must be counts,
// "abgelaufen" or "n/a", and the dialog must hold only what a player could send back.

#include "exchange/entry_request.h"
#include "exchange/fleet_record.h"
#include "fleetlists/catalogue.h"
#include "fleetlists/countdown_cells.h"
#include "fleetlists/entry_dialog.h"
#include "fleetlists/list_view_fill.h"
#include "fleetlists/ticks.h"
#include "fuzz/fuzz_stream.h"
#include "platform/headless/headless_platform.h"
#include "text/date_text.h"
#include "text/integer_text.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace reef::fuzz {

// 14.11.2023 00:00 local time; the targets add a time of the day.
inline constexpr std::int64_t kDayStart = 1'699'920'000;

class ListDisplay {
  public:
    ListDisplay() : driver_(ui_) {
        fleet_.tables = fleetlists::buildFleetListTables();
        for (const fleetlists::FleetListKind kind :
             {fleetlists::FleetListKind::Allied, fleetlists::FleetListKind::Enemy}) {
            fleetlists::ListWindowState& list = fleet_.list(kind);
            list.window = ui_.openWindow("Liste", 640, 230);
            list.listView = ui_.createListView(list.window, {0, 0, 640, 153});
            for (int column = 0; column < fleetlists::columnCount(kind); ++column) {
                ui_.addListColumn(list.listView, "c", 50);
            }
        }
    }

    // One instance for the whole run: the backend must live on the thread that made it.
    static ListDisplay& instance() {
        static ListDisplay display;
        return display;
    }

    void show(fleetlists::FleetListKind kind, std::vector<fleetlists::FleetEntry> rows,
              bool downloaded, std::int64_t now, std::int64_t later) {
        fleetlists::ListWindowState& list = fleet_.list(kind);
        if (downloaded) {
            const std::vector<fleetlists::FleetEntry> received = rows;
            exchange::sortByReturnTicks(rows, now);
            check(std::is_permutation(rows.begin(), rows.end(), received.begin(), received.end()),
                  "the sort lost or made up a row");
            for (std::size_t i = 1; i < rows.size(); ++i) {
                check(fleetlists::returnOrderKey(rows[i - 1].BasisZeit, now) <=
                          fleetlists::returnOrderKey(rows[i].BasisZeit, now),
                      "rows out of the order of their return times");
            }
        }
        list.rows = std::move(rows);
        fleetlists::fillListView(ui_, list.listView, fleet_.tables, kind, list.rows, now);
        checkRows(kind, now);
        fleetlists::writeCountdownCells(ui_, list.listView, list.rows, later);
        checkRows(kind, later);
        if (!list.rows.empty()) {
            changeRow(kind, static_cast<int>(static_cast<std::uint64_t>(later) % list.rows.size()));
        }
    }

  private:
    void checkRows(fleetlists::FleetListKind kind, std::int64_t now) {
        const fleetlists::ListWindowState& list = fleet_.list(kind);
        check(ui_.listRowCount(list.listView) == static_cast<int>(list.rows.size()),
              "a row that is not shown");
        for (int row = 0; row < static_cast<int>(list.rows.size()); ++row) {
            const fleetlists::FleetEntry& entry = list.rows[static_cast<std::size_t>(row)];
            checkCountdown(list.listView, row, fleetlists::kImpactTicksColumn, entry.ZielZeit, now);
            checkCountdown(list.listView, row, fleetlists::kReturnTicksColumn, entry.BasisZeit,
                           now);
            const fleetlists::HelpStatus* help = fleet_.tables.help.find(kind, entry.Hilfe);
            check(ui_.listCell(list.listView, row, fleetlists::kHelpColumn) ==
                      (help ? help->name : text::decimalText(entry.Hilfe)),
                  "a help cell that shows neither the code's name nor its number");
        }
    }

    void checkCountdown(platform::ControlId view, int row, int ticksColumn, std::int32_t time,
                        std::int64_t now) {
        const std::string ticks = ui_.listCell(view, row, ticksColumn);
        const std::string shown = ui_.listCell(view, row, ticksColumn + 1);
        if (!fleetlists::isTimeOfDay(time)) {
            check(ticks == "n/a" && shown == "n/a", "a time outside the day with a countdown");
            return;
        }
        const int expected = fleetlists::ticksUntil(time, now);
        check(expected >= -1 && expected <= 71, "a count of ticks outside the day");
        check(ticks == (expected < 0 ? "abgelaufen" : text::decimalText(expected)),
              "a countdown cell that does not show the ticks left");
        check(shown == text::formatDate("%hh:%ii:00", time), "a time cell that is not the time");
    }

    // "Eintrag Aktualisieren" on the row, then "Übernehmen" when the dialog allows it.
    void changeRow(fleetlists::FleetListKind kind, int row) {
        fleetlists::ListWindowState& list = fleet_.list(kind);
        list.editCopy = list.rows[static_cast<std::size_t>(row)];
        list.dialogMode = fleetlists::DialogMode::Change;
        check(static_cast<bool>(
                  fleetlists::openEntryDialog(ui_, fleet_, kind, "Eintrag ändern", row)),
              "the change dialog did not open");
        const auto field = [&](fleetlists::EntrySlot slot) {
            return ui_.text(fleetlists::slotOf(list.dialogFields, slot));
        };
        for (const fleetlists::EntrySlot slot :
             {fleetlists::EntrySlot::ZielZeit, fleetlists::EntrySlot::BasisZeit}) {
            const std::string time = field(slot);
            check(time.empty() || text::parseClockTime(time) >= 0,
                  "a time field prefilled with no time of the day");
        }
        const int help = ui_.dropDownSelection(
            fleetlists::slotOf(list.dialogFields, fleetlists::EntrySlot::Hilfe));
        const int mission = ui_.dropDownSelection(
            fleetlists::slotOf(list.dialogFields, fleetlists::EntrySlot::Modus));
        check(help >= -1 && help <= 4 && mission >= -1 && mission <= 2,
              "a choice prefilled outside its list");
        const bool submittable = ui_.isEnabled(list.dialogSubmitButton);
        check(!submittable || !field(fleetlists::EntrySlot::BasisZeit).empty(),
              "a change that can be sent without a return time");
        if (submittable) {
            driver_.click(list.dialogSubmitButton);
            std::optional<fleetlists::EntrySubmission> submission;
            while (const std::optional<platform::Event> event = ui_.waitEvent(0)) {
                if (!submission) {
                    submission = fleetlists::handleEntryDialogEvent(ui_, fleet_, kind, *event);
                }
            }
            check(submission.has_value(), "\"Übernehmen\" sent nothing");
            const std::string request =
                exchange::buildSubmissionRequest(*submission, {"lists.example.org", 80});
            check(request.find_first_of("\r\n") == request.size() - 4,
                  "a request line broken by a value");
        }
        fleetlists::closeEntryDialog(ui_, fleet_, kind);
        // Nothing may pile up from one input to the next.
        while (ui_.waitEvent(0)) {
        }
    }

    platform::headless::HeadlessPlatform ui_{kDayStart, 0};
    platform::headless::HeadlessDriver driver_;
    fleetlists::FleetLists fleet_;
};

} // namespace reef::fuzz

// One window with every control kind of the platform, coloured list cells and a three-field
// status bar, for looking at the real user interface. Runs until the window is closed, or
// for the number of seconds given as the first argument (counted after a box asked for by
// the second argument has been answered).

#include "platform/win32/win32_platform.h"

#include <cstdlib>
#include <string>

using namespace reef::platform;

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 0;
    win32::Win32Platform ui;
    const WindowId window = ui.openWindow("Reef - Tools: Demo aller Steuerelemente", 640, 400);
    if (!window) {
        return 1;
    }

    ui.createFrame(window, Rect{5, 5, 200, 140}, "Daten der eigenen Flotte");
    ui.createLabel(window, Rect{20, 26, 50, 17}, "Name*:", {});
    ui.createEdit(window, Rect{70, 25, 120, 17}, "Korallenkönig", {});
    ui.createLabel(window, Rect{20, 47, 50, 17}, "Schiffe*:", {});
    ui.createEdit(window, Rect{70, 46, 120, 17}, "12500", EditStyle{.digitsOnly = true});
    ui.createLabel(window, Rect{20, 68, 50, 17}, "Punkte:", {});
    ui.createEdit(window, Rect{70, 67, 120, 17}, "1.234.567", EditStyle{.readOnly = true});
    ui.createLabel(window, Rect{20, 89, 50, 17}, "Passwort:", {});
    ui.createEdit(window, Rect{70, 88, 120, 17}, "geheim", EditStyle{.masked = true});
    ui.createLabel(window, Rect{20, 114, 50, 17}, "Auftrag:", {});
    const ControlId mission = ui.createDropDown(window, Rect{70, 110, 120, 20}, 80);
    for (const char* item : {"n/a", "Verteidigen", "Angreifen"}) {
        ui.addDropDownItem(mission, item);
    }
    ui.setDropDownSelection(mission, 2);

    ui.createLabel(
        window, Rect{215, 8, 70, 18}, "rechts:",
        LabelStyle{.align = TextAlign::Right, .sunken = false, .textColor = std::nullopt});
    ui.createLabel(
        window, Rect{290, 8, 100, 18}, "Gesamt",
        LabelStyle{.align = TextAlign::Center, .sunken = true, .textColor = std::nullopt});
    ui.createLabel(window, Rect{395, 1, 240, 28},
                   "Felder mit einem Stern müssen ausgefüllt werden!",
                   LabelStyle{.align = TextAlign::Center, .textColor = rgb(32, 79, 223)});
    const ControlId plan = ui.createButton(window, Rect{215, 30, 145, 25}, "Plan erstellen");
    ui.setTooltip(plan,
                  "zeigt den ETA-Plan unten an und kopiert diesen direkt in die Zwischenablage");
    const ControlId disabled =
        ui.createButton(window, Rect{365, 30, 145, 25}, "Eintrag Aktualisieren");
    ui.setEnabled(disabled, false);
    ui.createButton(window, Rect{515, 30, 25, 25}, "?");
    ui.createTextArea(window, Rect{215, 60, 420, 85},
                      "ETA-Plan für Basis 12:34\r\n\r\n15 Ticks: 10:00 - 10:20 Uhr\r\n"
                      "14 Ticks: 10:20 - 10:40 Uhr\r\n13 Ticks: 10:40 - 11:00 Uhr\r\n"
                      "12 Ticks: 11:00 - 11:20 Uhr\r\n11 Ticks: 11:20 - 11:40 Uhr");

    const ControlId list = ui.createListView(window, Rect{0, 150, 640, 153});
    const char* headers[] = {"Hilfe-/ Status", "Name",         "Allianz",         "Punkte",
                             "Auftrag",        "ETA bis Ziel", "Uhrzeit Rückkehr"};
    const int widths[] = {80, 100, 60, 80, 80, 100, 110};
    for (int c = 0; c < 7; ++c) {
        ui.addListColumn(list, headers[c], widths[c]);
    }
    struct Row {
        const char* cells[7];
        Color help;
        Color mission;
    };
    const Row rows[] = {
        {{"OK", "Hai", "n/a", "12.500", "Verteidigen", "3", "12:40"},
         rgb(0, 255, 0),
         rgb(0, 128, 0)},
        {{"Hilfe", "Qualle", "SEA", "1.234.567", "Angreifen", "12", "18:20"},
         rgb(255, 0, 0),
         rgb(200, 0, 0)},
        {{"gedefft", "Rochen", "SEA", "n/a", "n/a", "0", "09:00"},
         rgb(255, 204, 0),
         rgb(90, 90, 90)},
        {{"Info", "Krake", "DEEP", "870", "Angreifen", "72", "23:59"},
         rgb(0, 170, 255),
         rgb(200, 0, 0)},
    };
    for (const Row& row : rows) {
        const int index = ui.addListRow(list);
        for (int c = 0; c < 7; ++c) {
            ui.setListCell(list, index, c, row.cells[c]);
        }
        ui.setListCellColors(list, index, 0, row.help, std::nullopt);
        ui.setListCellColors(list, index, 4, std::nullopt, row.mission);
    }
    ui.setListCellColors(list, 1, 5, rgb(255, 255, 160), rgb(103, 2, 0));

    ui.createLabel(
        window, Rect{0, 306, 640, 17},
        "Drücke auf einen Eintrag, um mehr über die Bedeutung der Spalte ''Hilfe'' zu erfahren.",
        LabelStyle{.align = TextAlign::Center, .textColor = rgb(160, 160, 160)});
    ui.createButton(window, Rect{5, 328, 150, 25}, "Neuer Eintrag");
    ui.createLabel(window, Rect{485, 334, 77, 17}, "Autoupdate alle", {});
    ui.createEdit(window, Rect{562, 331, 20, 17}, "5", EditStyle{.digitsOnly = true});
    ui.createLabel(window, Rect{585, 334, 50, 17}, "Minuten", {});

    const ControlId status = ui.createStatusBar(window, 200, 200, 300);
    ui.setStatusText(status, 0, "letzte Aktualisierung: aus Datei geladen");
    ui.setStatusText(status, 1, "\tgespeicherte Daten laden");
    ui.setStatusText(status, 2, "\t\tStatus: Fertig!");

    // "input" or "question" as second argument: the modal boxes over the window.
    const std::string box = argc > 2 ? argv[2] : "";
    if (box == "input") {
        ui.inputBox("Reef - Tools", "Bitte Passwort angeben (siehe the alliance forum):", "");
    } else if (box == "question") {
        ui.messageBox("Reef - Tools", "Programm wirklich beenden?", MessageBoxKind::Question);
    }

    const std::int64_t end = ui.clock().tickCountMs() + static_cast<std::int64_t>(seconds) * 1000;
    for (;;) {
        const std::optional<Event> event = ui.waitEvent(500);
        if (event && event->kind == EventKind::CloseRequest) {
            break;
        }
        if (seconds > 0 && ui.clock().tickCountMs() >= end) {
            break;
        }
    }
    ui.closeWindow(window);
    return 0;
}

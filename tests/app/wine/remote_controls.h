#pragma once
// Reads the common controls of another process. Their messages carry pointers that the
// system does not carry across processes (unlike WM_GETTEXT), so the structures and text
// buffers are placed in the program's own memory (VirtualAllocEx) and read back from there.

#include <windows.h>

#include <string>
#include <vector>

namespace reef::probe {

// Cell texts of every row of a report-view list view, in display order.
std::vector<std::vector<std::string>> listViewRows(HWND listView, int columns);
int listViewRowCount(HWND listView);
int listViewSelectedRow(HWND listView); // -1 when none
// The row's cell rectangle in screen coordinates (to click it); empty when there is none.
RECT listViewRowRect(HWND listView, int row);
// The text of one field of a status bar, alignment tabs included.
std::string statusBarText(HWND statusBar, int field);

} // namespace reef::probe

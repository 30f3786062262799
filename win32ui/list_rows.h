// Small helpers for filling the rows of the report list views (key lists,
// password storage) and for selecting one.
#pragma once

#include <windows.h>

namespace qvx::win32ui {

// Sets the text of a cell after the row exists (columns 1 and on; column 0 is
// the item's own text). The list copies the text.
void SetListCell(HWND list, int row, int column, char* text);

// Makes that row the only selected one and the focused one, and scrolls it
// into view.
void SelectListRow(HWND list, int row);

}  // namespace qvx::win32ui

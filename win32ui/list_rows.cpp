#include "win32ui/list_rows.h"

#include <commctrl.h>

namespace qvx::win32ui {

void SetListCell(HWND list, int row, int column, char* text) {
  LVITEMA cell{};
  cell.iSubItem = column;
  cell.pszText = text;
  SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
}

void SelectListRow(HWND list, int row) {
  constexpr UINT kSelectedAndFocused = LVIS_SELECTED | LVIS_FOCUSED;
  LVITEMA clear{};
  clear.stateMask = kSelectedAndFocused;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  LVITEMA set{};
  set.stateMask = kSelectedAndFocused;
  set.state = kSelectedAndFocused;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&set));
  SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

}  // namespace qvx::win32ui

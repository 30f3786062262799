// Menus of the program under test, read from inside it (qvx_e2e_hook.dll):
// popup menus it shows (the tray menus), a window's menu bar, and clicking
// their items with the mouse. Also list-view rows, read the same way.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/e2e/process.h"

namespace qvx::e2e {

struct MenuItem {
  int depth = 0;            // 0: the menu itself, 1: items of its submenus, ...
  UINT id = 0;              // command id; 0xFFFFFFFF for a submenu
  std::string text;         // as in the menu, "&" and tab included
  bool separator = false;
  bool submenu = false;
  bool grayed = false;
  bool checked = false;
  bool is_default = false;   // the bold entry
  RECT rect{};              // screen rectangle while shown, else empty
};

// The items of the menu a popup menu window shows, followed by the items of
// its submenus (depth + 1) right after each submenu entry.
std::vector<MenuItem> ReadPopupMenu(HWND menu_window);
// A window's menu bar the same way.
std::vector<MenuItem> ReadMenuBar(HWND window);

// Items of one level only: the entries of the submenu with that text (depth 0
// menu when text is empty).
std::vector<MenuItem> SubmenuItems(const std::vector<MenuItem>& menu, std::string_view submenu_text);
// The first item with that text (with "&"), at any depth; nullptr if none.
const MenuItem* FindMenuItem(const std::vector<MenuItem>& menu, std::string_view text);

// Visible popup menu windows (#32768) of a process, the most recent last.
std::vector<HWND> PopupMenuWindows(DWORD pid);
// Waits until the process shows at least "count" popup menu windows and
// returns the last one.
HWND WaitForPopupMenu(DWORD pid, std::size_t count = 1, DWORD timeout_ms = kTimeoutMs);
// Waits for a popup menu window of the process that is not among `before`
// (the menus shown before the click or message that opens the new one) and
// whose items can be read with their places on the screen. A menu window of
// an earlier step that Wine has not yet taken down is never taken for the new
// one. nullptr when none showed in time.
HWND WaitForNewPopupMenu(DWORD pid, const std::vector<HWND>& before,
                         DWORD timeout_ms = kTimeoutMs);
// Clicks an item of a shown menu with the mouse.
void ClickMenuItem(const MenuItem& item);
// Closes every menu the thread owning the window tracks.
void EndMenus(HWND menu_window);

// Rows of a list view: first field "S"/"-" for selected, then the columns.
std::vector<std::vector<std::string>> ReadListView(HWND list);
// Screen rectangles of the cells of a list view, by row, then by column.
std::vector<std::vector<RECT>> ListViewCellRects(HWND list);

}  // namespace qvx::e2e

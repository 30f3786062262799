// Tray menu helpers.
#include "shell/tray_menu.h"

namespace qvx::shell {

void RebuildHotKeyMenu(HMENU submenu, const Settings& settings) {
  while (GetMenuItemCount(submenu) > 0) DeleteMenu(submenu, 0, MF_BYPOSITION);
  const auto& table = HotKeyActions();
  for (std::size_t row = 0; row < table.size(); ++row) {
    if (!IsActiveIn(table[row], settings.mode)) continue;
    const std::string text = HotKeyMenuText(MessageText(table[row].label), settings.hot_keys[row]);
    AppendMenuA(submenu, MF_STRING, row, text.c_str());
  }
}

bool UpdateMenuAvailability(HMENU menu, const std::function<bool(UINT id)>& available) {
  bool any_enabled = false;
  const int count = GetMenuItemCount(menu);
  for (int pos = 0; pos < count; ++pos) {
    bool enabled = true;
    if (HMENU sub = GetSubMenu(menu, pos)) {
      enabled = UpdateMenuAvailability(sub, available);
    } else {
      MENUITEMINFOA info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE | MIIM_ID;
      if (!GetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &info)) continue;
      if (info.fType & MFT_SEPARATOR) continue;
      enabled = available(info.wID);
    }
    EnableMenuItem(menu, static_cast<UINT>(pos), MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    any_enabled = any_enabled || enabled;
  }
  return any_enabled;
}

void ShowPopupAtCursor(HWND owner, HMENU popup) {
  POINT at{};
  GetCursorPos(&at);
  SetForegroundWindow(owner);
  TrackPopupMenu(popup, 0, at.x, at.y, 0, owner, nullptr);
  PostMessageA(owner, WM_NULL, 0, 0);
}

std::string MenuCommandText(HMENU menu, UINT id) {
  char buffer[256] = {};
  if (GetMenuStringA(menu, id, buffer, sizeof buffer, MF_BYCOMMAND) <= 0) return {};
  std::string text;
  for (const char* p = buffer; *p && *p != '\t'; ++p) {
    if (*p == '&' && p[1] == '&') {
      text += '&';
      ++p;
    } else if (*p != '&') {
      text += *p;
    }
  }
  return text;
}

}  // namespace qvx::shell

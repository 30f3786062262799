// The tray menus: the "Hot&keys view" submenu rebuilt before each display,
// commands without a handler shown grayed, and the popup at the cursor.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "shell/model/settings_model.h"

namespace qvx::shell {

// Replaces the entries of the "Hot&keys view" submenu by one entry per row
// active in the mode: command id = row, text = label, tab, combination.
void RebuildHotKeyMenu(HMENU submenu, const Settings& settings);

// Grays every command item for which available(id) is false, enables the
// others, and grays a submenu whose items are all gray. Returns whether any
// item of the menu stays enabled.
bool UpdateMenuAvailability(HMENU menu, const std::function<bool(UINT id)>& available);

// Shows a popup menu at the cursor. The owner becomes the foreground window
// first and gets a WM_NULL afterwards, so that the menu closes when the user
// clicks elsewhere; the chosen command arrives as WM_COMMAND.
void ShowPopupAtCursor(HWND owner, HMENU popup);

// The text of a command item anywhere in the menu, without "&" and without the
// part after a tab; empty when no item has that id.
std::string MenuCommandText(HMENU menu, UINT id);

}  // namespace qvx::shell

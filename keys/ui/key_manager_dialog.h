// "Key Manager" (127): my keys and other people's keys in one list, switched
// by two radio buttons; generate, edit the note, find, delete, export and
// import.
#pragma once

#include <windows.h>

#include "keys/ui/keys_ui.h"

namespace qvx::keys::ui {

// Runs the key manager; owned by the dialog it was opened from (none from the
// tray).
void ShowKeyManager(KeysUi& ui, HWND owner = nullptr);

}  // namespace qvx::keys::ui

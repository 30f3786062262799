// Showing and limiting the texts of the storage dialogs' edit controls (they
// are read with WindowText and SecretWindowText, and password
// edits emptied with WipeSecretEdit before a dialog closes).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace qvx::win32ui {

// Puts a text into an edit control.
void SetText(HWND edit, std::string_view text);

// Shows a password edit's text in clear or as '*'.
void ShowSecretText(HWND edit, bool in_clear);

// Limits what an edit control accepts.
void LimitText(HWND edit, std::size_t chars);

}  // namespace qvx::win32ui

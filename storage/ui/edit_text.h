// Reading and showing the texts of the storage dialogs' edit controls:
// passwords go straight into wiped memory, and the edits are emptied before a
// dialog closes so that no copy of a password stays in a control.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/secure.h"

namespace qvx::storage::ui {

// The whole text of an edit control, read into wiped memory.
SecureString ReadSecretText(HWND edit);

// The whole text of an edit control.
std::string ReadText(HWND edit);

// Puts a text into an edit control.
void SetText(HWND edit, std::string_view text);

// Empties a password edit, overwriting its text first.
void ClearSecretEdit(HWND edit);

// Shows a password edit's text in clear or as '*'.
void ShowSecretText(HWND edit, bool inClear);

// Limits what an edit control accepts.
void LimitText(HWND edit, std::size_t chars);

}  // namespace qvx::storage::ui

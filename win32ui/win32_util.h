// Small Win32 helpers of the tray program: string-table texts, window texts,
// the program icon in the sizes the system wants, and a thread starter.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/secure.h"

namespace qvx::win32ui {

// A string-table text by id (empty when the id is not in the table).
std::string LoadResourceString(HINSTANCE instance, UINT id);

// The text of a window or control.
std::string WindowText(HWND window);

// The text of an edit control holding a secret, read straight into wiped
// memory.
SecureString SecretWindowText(HWND edit);

// Overwrites a password edit's text in place (the control reuses its buffer
// for a text of the same length), then empties it.
void WipeSecretEdit(HWND edit);

// An icon resource at the small (SM_CXSMICON) or large (SM_CXICON) system
// size; shared handles that the system frees, never destroyed by the caller.
HICON LoadSmallIcon(HINSTANCE instance, int id);
HICON LoadLargeIcon(HINSTANCE instance, int id);

// Runs a job on a new short-lived thread whose handle is closed at once.
// Exceptions end the job, never the program. False when no thread could be
// started (the job is then not run).
bool StartDetachedThread(std::function<void()> job);

// Runs a callback body so that no exception leaves it.
template <class R, class Fn>
R NoThrow(R fallback, Fn&& fn) noexcept {
  try {
    return fn();
  } catch (...) {
    return fallback;
  }
}

}  // namespace qvx::win32ui

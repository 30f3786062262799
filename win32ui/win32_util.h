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

// Tells the user that an exception stopped what the program was doing:
// "Memory allocation error!" for a failed allocation, the general message for
// anything else. Only from inside a catch block; never throws.
void ReportCaughtException() noexcept;

// Runs a job on a new short-lived thread whose handle is closed at once. An
// exception ends the job with ReportCaughtException, never the program. False
// when no thread could be started (the job is then not run).
bool StartDetachedThread(std::function<void()> job);

// Runs a callback body (a window or dialog procedure) so that no exception
// leaves it: the user is told (ReportCaughtException) and `fallback` is
// returned to the system.
template <class R, class Fn>
R NoThrow(R fallback, Fn&& fn) noexcept {
  try {
    return fn();
  } catch (...) {
    ReportCaughtException();
    return fallback;
  }
}

}  // namespace qvx::win32ui

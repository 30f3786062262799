// Message boxes shown by another process: found by their text control
// (id 0xFFFF), read and answered.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/e2e/process.h"

namespace qvx::e2e {

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::string title;
  std::string text;
  explicit operator bool() const { return hwnd != nullptr; }
};

// The id of a message box's text control.
inline constexpr int kMessageBoxTextId = 0xFFFF;

// A message box of that process currently shown, if any.
MessageBoxInfo FindMessageBox(DWORD pid);
// Waits for one; the result is empty when none appeared in time. The box is
// saved as a screenshot named "<what>".
MessageBoxInfo WaitForMessageBox(DWORD pid, const std::string& what = "message",
                                 DWORD timeout_ms = kTimeoutMs);
// Presses a button of the box (IDOK, IDYES, IDNO, IDCANCEL) and waits until it
// is gone.
bool AnswerMessageBox(const MessageBoxInfo& box, int button = IDOK);
// Waits for a box titled "Quorvix", expects it to say exactly `text` (a test
// failure otherwise) and answers it.
void ExpectQuorvixBox(DWORD pid, const std::string& text, const std::string& what,
                      int button = IDOK);

}  // namespace qvx::e2e

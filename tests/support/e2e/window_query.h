// Finding top-level windows and dialog controls of other processes, and
// driving dialogs through messages (texts, check boxes, combo boxes, buttons).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/e2e/process.h"

namespace qvx::e2e {

std::string ClassOf(HWND window);
// WM_GETTEXT (marshalled across processes), with a time limit.
std::string TextOf(HWND window);
DWORD ProcessOf(HWND window);

// What a top-level window must match; empty fields match anything.
struct WindowMatch {
  DWORD pid = 0;
  std::string class_name;
  std::string title;
  bool visible_only = true;
  // A control id the window must contain (dialogs), or -1.
  int with_control = -1;
};

std::vector<HWND> TopLevelWindows(const WindowMatch& match);
HWND FindTopLevel(const WindowMatch& match);
// Waits for a matching window; nullptr when none appeared within the time.
HWND WaitForTopLevel(const WindowMatch& match, DWORD timeout_ms = kTimeoutMs);
// Waits for a matching window that stays shown for steady_ms: windows that
// come and go with the mouse (balloons, tooltips) may be replaced by a new
// one while a test looks. nullptr when none stayed within the time.
HWND WaitForSteadyTopLevel(const WindowMatch& match, DWORD timeout_ms = kTimeoutMs,
                           DWORD steady_ms = 300);
// Waits until the window no longer exists (or is hidden).
bool WaitGone(HWND window, DWORD timeout_ms = kTimeoutMs);

// A dialog window of another process, driven through messages.
class DialogDriver {
 public:
  explicit DialogDriver(HWND dialog = nullptr) : dialog_(dialog) {}
  HWND hwnd() const { return dialog_; }
  explicit operator bool() const { return dialog_ != nullptr; }

  std::string Title() const { return TextOf(dialog_); }
  HWND Control(int id) const { return GetDlgItem(dialog_, id); }
  bool Exists(int id) const { return Control(id) != nullptr; }
  bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
  std::string Text(int id) const { return TextOf(Control(id)); }
  // WM_SETTEXT; an edit control then notifies its dialog with EN_CHANGE.
  void SetText(int id, const std::string& text) const;
  // BM_CLICK, posted: the click may open a modal window of its own.
  void Click(int id) const;
  bool Checked(int id) const;
  // Clicks the check box when its state differs, and waits for the new state.
  bool SetChecked(int id, bool on) const;
  int ComboSelection(int id) const;
  std::vector<std::string> ComboItems(int id) const;
  // Selects an item and tells the dialog, as a user's choice would.
  void SelectCombo(int id, int index) const;
  // The centre of a control in screen coordinates (for mouse input).
  POINT CenterOf(int id) const;

 private:
  HWND dialog_;
};

}  // namespace qvx::e2e

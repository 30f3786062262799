// qvx_hostile_target.exe as a target window: an editor-like window that is
// no edit control and behaves the way awkward programs do with the clipboard
// (holds it after a copy, reads a paste late or never). Also its second mode,
// a process that holds the clipboard for a while as a clipboard manager does.
//
// The program's window (class "QvxHostileTarget", title "Hostile target") has
// one child of class "QvxCustomText" that keeps a UTF-16 text and a selection
// [start, end) and takes Ctrl+A, Ctrl+C, Ctrl+V and typed characters itself.
// Without keys, on the window or on the child:
//   WM_SETTEXT / WM_GETTEXT / WM_GETTEXTLENGTH   the text (Unicode; WM_SETTEXT
//                                                  leaves the caret at 0)
//   kSelectMessage (wParam start, lParam end)    selects [start, end); end -1
//                                                  or past the text: to its end
//   kGetSelectionMessage                         MAKELRESULT(start, end),
//                                                  each clipped to 0xFFFF
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/e2e/process.h"

namespace qvx::e2e {

inline constexpr const char* kHostileWindowClass = "QvxHostileTarget";
inline constexpr const char* kHostileTextClass = "QvxCustomText";
inline constexpr UINT kSelectMessage = WM_APP + 0x51;
inline constexpr UINT kGetSelectionMessage = WM_APP + 0x52;

// How the target treats the clipboard; any combination.
struct HostileOptions {
  // After its own copy, opens the clipboard again and keeps it that long.
  DWORD hold_after_copy_ms = 0;
  // On Ctrl+V, reads the clipboard only that much later.
  DWORD read_late_ms = 0;
  // Ctrl+V does nothing; the clipboard is never opened for it.
  bool ignore_paste = false;
  // Always on top, shown without taking the focus, in the bottom right corner
  // of the screen (away from notepad's text).
  bool topmost = false;
};

// Windows path of qvx_hostile_target.exe.
std::string HostileTargetPath();
// The command line for those options.
std::string HostileCommandLine(const HostileOptions& options);

class HostileTarget {
 public:
  // Starts the program and waits for its window; check ok() afterwards.
  static HostileTarget Start(const HostileOptions& options = {});

  bool ok() const { return window_ != nullptr && text_area_ != nullptr; }
  HWND window() const { return window_; }
  HWND text_area() const { return text_area_; }
  DWORD pid() const { return process_.pid(); }

  void SetTextW(const std::wstring& text) const;
  std::wstring TextW() const;
  // ASCII conveniences.
  void SetText(const std::string& ascii) const;
  std::string Text() const;
  // Selects characters [start, end) (end -1: to the end).
  void Select(int start, int end) const;
  // The selection as [first, second).
  std::pair<int, int> Selection() const;
  // Makes the window the foreground window with the focus in its text area.
  bool Focus() const;
  // Waits until the text is no longer `before`.
  bool WaitTextChange(const std::wstring& before, DWORD timeout_ms = kTimeoutMs) const;
  // Presses Alt+Shift+`key` once the program under test holds that hot key,
  // with Notepad::PressHotKey's guard: a hot key that Wine delivers as a typed
  // letter is taken back and pressed again, up to three times.
  void PressHotKey(WORD key) const;

 private:
  Process process_;
  HWND window_ = nullptr;
  HWND text_area_ = nullptr;
};

// A process that holds the clipboard open for a while and then ends.
class ClipboardHolder {
 public:
  // Starts the holder and returns once it holds the clipboard (holding() is
  // false when it could not get it within the usual time limit). It lets go
  // `ms` milliseconds after taking it.
  static ClipboardHolder Hold(DWORD ms);

  bool holding() const { return holding_; }
  // Waits until the holder has let go and ended.
  bool WaitReleased(DWORD timeout_ms = kTimeoutMs) const;

 private:
  Process process_;
  bool holding_ = false;
};

}  // namespace qvx::e2e

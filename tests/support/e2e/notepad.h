// Wine's notepad as the window whose text the program under test takes and
// replaces. Its text lives in an "Edit" child, which the tests read and set
// directly (Unicode messages, so characters outside the ANSI code page pass).
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/e2e/process.h"

namespace qvx::e2e {

class Notepad {
 public:
  // Starts notepad.exe and waits for its window; check ok() afterwards.
  static Notepad Start();

  bool ok() const { return window_ != nullptr && edit_ != nullptr; }
  HWND window() const { return window_; }
  HWND edit() const { return edit_; }
  DWORD pid() const { return process_.pid(); }

  // Replaces the whole text (a long one through the clipboard and Ctrl+V).
  void SetText(const std::string& text) const;     // ANSI code page text
  void SetTextW(const std::wstring& text) const;
  std::string Text() const;
  std::wstring TextW() const;
  // Selects characters [start, end) (end -1: to the end).
  void Select(int start, int end) const;
  // Makes notepad the foreground window with the caret in its text.
  bool Focus() const;
  // Waits until the text is no longer `before` (the program has pasted).
  bool WaitTextChange(const std::wstring& before, DWORD timeout_ms = kTimeoutMs) const;
  // Presses Alt+Shift+`key` once the program under test holds that hot key.
  // Under Wine a hot key pressed into notepad now and then arrives there as a
  // typed letter instead of reaching the hot key's owner (a timing matter of
  // Wine's hot-key matching): the letter is taken back, the text and its
  // selection put back as they were, and the key pressed again, up to three
  // times.
  void PressHotKey(WORD key) const;

 private:
  Process process_;
  HWND window_ = nullptr;
  HWND edit_ = nullptr;
};

// Whether `after` is `before` with the letter of `key` (either case) typed
// over the selection [start, end) -- a hot key that notepad took as typing.
bool IsTypedKey(const std::wstring& before, std::size_t start, std::size_t end,
                const std::wstring& after, WORD key);

}  // namespace qvx::e2e

// Wine's notepad as a target window.
#include "tests/support/e2e/notepad.h"

#include <cstring>

#include "tests/support/e2e/input.h"
#include "tests/support/e2e/system_state.h"
#include "tests/support/e2e/window_query.h"

namespace qvx::e2e {

namespace {

std::wstring Widen(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
  return w;
}

std::string Narrow(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

}  // namespace

Notepad Notepad::Start() {
  Notepad notepad;
  notepad.process_ = Process::Start("notepad.exe");
  if (!notepad.process_.started()) return notepad;
  WindowMatch match;
  match.pid = notepad.process_.pid();
  match.class_name = "Notepad";
  notepad.window_ = WaitForTopLevel(match);
  if (notepad.window_ != nullptr) {
    WaitUntil([&] { return (notepad.edit_ = FindWindowExA(notepad.window_, nullptr, "Edit", nullptr)) != nullptr; });
  }
  return notepad;
}

void Notepad::SetText(const std::string& text) const { SetTextW(Widen(text)); }

namespace {

// Wine does not carry a WM_SETTEXT of about a megabyte or more to another
// process; a long text is pasted instead, as a user would.
constexpr std::size_t kLongestSetText = 256 * 1024;

bool PutOnClipboardW(const std::wstring& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  if (block == nullptr) return false;
  std::memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(block);
  if (!WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 5000)) {
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  const bool ok = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
  if (!ok) GlobalFree(block);
  CloseClipboard();
  return ok;
}

}  // namespace

void Notepad::SetTextW(const std::wstring& text) const {
  if (text.size() > kLongestSetText && PutOnClipboardW(text) && Focus()) {
    PressChord({VK_CONTROL, 'A'});
    PressChord({VK_CONTROL, 'V'});
    WaitUntil([&] { return TextW().size() == text.size(); }, 60000);
    WaitUntil([] { return (GetAsyncKeyState(VK_CONTROL) & 0x8000) == 0; });
    return;
  }
  DWORD_PTR result = 0;
  SendMessageTimeoutW(edit_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                      20000, &result);
}

std::string Notepad::Text() const { return Narrow(TextW()); }

std::wstring Notepad::TextW() const {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(edit_, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 20000, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(edit_, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 20000, &got);
  text.resize(got < length ? got : length);
  return text;
}

void Notepad::Select(int start, int end) const {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(edit_, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end),
                      SMTO_ABORTIFHUNG, 5000, &result);
}

bool Notepad::Focus() const {
  if (!BringToForeground(window_)) return false;
  return WaitUntil([&] { return FocusOf(window_) == edit_; }, 5000);
}

bool Notepad::WaitTextChange(const std::wstring& before, DWORD timeout_ms) const {
  return WaitUntil([&] { return TextW() != before; }, timeout_ms);
}

void Notepad::PressHotKey(WORD key) const {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const bool watch = ok() && GetForegroundWindow() == window_;
    std::wstring before;
    DWORD_PTR selection = 0;
    if (watch) {
      before = TextW();
      SendMessageTimeoutW(edit_, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &selection);
    }
    // The result holds both ends in 16 bits each: enough for the texts that
    // hot keys are pressed on here; a longer one is simply not repaired.
    const DWORD start = LOWORD(selection), end = HIWORD(selection);
    PressAltShiftHotKey(key);
    if (!watch || !WaitTextChange(before, 500)) return;
    if (!IsTypedKey(before, start, end, TextW(), key)) return;
    SetTextW(before);
    Select(static_cast<int>(start), static_cast<int>(end));
    if (!Focus()) return;
  }
}

bool IsTypedKey(const std::wstring& before, std::size_t start, std::size_t end,
                const std::wstring& after, WORD key) {
  if (start > end || end > before.size()) return false;
  // The letter replaced the selection (an empty one: it went in at the caret),
  // in either case: Shift may have been lost along with Alt.
  const std::wstring upper = before.substr(0, start) + static_cast<wchar_t>(key) + before.substr(end);
  const wchar_t lower_key = (key >= 'A' && key <= 'Z') ? static_cast<wchar_t>(key - 'A' + 'a')
                                                       : static_cast<wchar_t>(key);
  const std::wstring lower = before.substr(0, start) + lower_key + before.substr(end);
  return after == upper || after == lower;
}

}  // namespace qvx::e2e

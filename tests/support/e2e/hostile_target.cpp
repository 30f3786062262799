// Driving qvx_hostile_target.exe: its window as a target, and its clipboard
// holding mode.
#include "tests/support/e2e/hostile_target.h"

#include <atomic>

#include "tests/support/e2e/input.h"
#include "tests/support/e2e/system_state.h"
#include "tests/support/e2e/window_query.h"

namespace qvx::e2e {

namespace {

LRESULT Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, DWORD timeout_ms = 5000) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, timeout_ms,
                           &result)) {
    return 0;
  }
  return static_cast<LRESULT>(result);
}

}  // namespace

std::string HostileTargetPath() { return QVX_HOSTILE_TARGET_PATH; }

std::string HostileCommandLine(const HostileOptions& options) {
  std::string line = QuoteArgument(HostileTargetPath());
  if (options.hold_after_copy_ms > 0) {
    line += " --hold-after-copy=" + std::to_string(options.hold_after_copy_ms);
  }
  if (options.read_late_ms > 0) line += " --read-late=" + std::to_string(options.read_late_ms);
  if (options.ignore_paste) line += " --ignore-paste";
  if (options.topmost) line += " --topmost";
  return line;
}

HostileTarget HostileTarget::Start(const HostileOptions& options) {
  HostileTarget target;
  target.process_ = Process::Start(HostileCommandLine(options));
  if (!target.process_.started()) return target;
  WindowMatch match;
  match.pid = target.process_.pid();
  match.class_name = kHostileWindowClass;
  target.window_ = WaitForTopLevel(match);
  if (target.window_ != nullptr) {
    WaitUntil([&] {
      return (target.text_area_ =
                  FindWindowExA(target.window_, nullptr, kHostileTextClass, nullptr)) != nullptr;
    });
  }
  return target;
}

void HostileTarget::SetTextW(const std::wstring& text) const {
  Send(text_area_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), 20000);
}

std::wstring HostileTarget::TextW() const {
  const auto length = static_cast<std::size_t>(Send(text_area_, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  const auto got = static_cast<std::size_t>(
      Send(text_area_, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), 20000));
  text.resize(got < length ? got : length);
  return text;
}

void HostileTarget::SetText(const std::string& ascii) const {
  SetTextW(std::wstring(ascii.begin(), ascii.end()));
}

std::string HostileTarget::Text() const {
  const std::wstring wide = TextW();
  std::string text;
  text.reserve(wide.size());
  for (wchar_t c : wide) text += c < 0x80 ? static_cast<char>(c) : '?';
  return text;
}

void HostileTarget::Select(int start, int end) const {
  Send(text_area_, kSelectMessage, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

std::pair<int, int> HostileTarget::Selection() const {
  const auto packed = static_cast<DWORD>(Send(text_area_, kGetSelectionMessage, 0, 0));
  return {LOWORD(packed), HIWORD(packed)};
}

bool HostileTarget::Focus() const {
  if (!BringToForeground(window_)) return false;
  return WaitUntil([&] { return FocusOf(window_) == text_area_; }, 5000);
}

bool HostileTarget::WaitTextChange(const std::wstring& before, DWORD timeout_ms) const {
  return WaitUntil([&] { return TextW() != before; }, timeout_ms);
}

void HostileTarget::PressHotKey(WORD key) const {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const bool watch = ok() && GetForegroundWindow() == window_;
    std::wstring before;
    std::pair<int, int> selection;
    if (watch) {
      before = TextW();
      selection = Selection();
    }
    PressAltShiftHotKey(key);
    if (!watch || !WaitTextChange(before, 500)) return;
    // Typed as a letter: it replaced the selection with that one letter.
    const std::wstring after = TextW();
    const auto from = static_cast<std::size_t>(selection.first);
    const auto to = static_cast<std::size_t>(selection.second);
    std::wstring typed = before;
    typed.replace(from, to - from, 1, static_cast<wchar_t>(key));
    std::wstring typed_lower = typed;
    typed_lower[from] = static_cast<wchar_t>(key | 0x20);
    if (after != typed && after != typed_lower) return;
    SetTextW(before);
    Select(selection.first, selection.second);
    if (!Focus()) return;
  }
}

ClipboardHolder ClipboardHolder::Hold(DWORD ms) {
  static std::atomic<unsigned> counter{0};
  const std::string name =
      "QvxClipboardHeld-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  ClipboardHolder holder;
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
  if (event == nullptr) return holder;
  holder.process_ = Process::Start(QuoteArgument(HostileTargetPath()) +
                                   " --hold-clipboard=" + std::to_string(ms) + " --signal=" + name);
  if (holder.process_.started()) {
    // Either it holds the clipboard, or it gave up and ended.
    holder.holding_ =
        WaitUntil([&] {
          return WaitForSingleObject(event, 0) == WAIT_OBJECT_0 || !holder.process_.Running();
        }) &&
        WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
  }
  CloseHandle(event);
  return holder;
}

bool ClipboardHolder::WaitReleased(DWORD timeout_ms) const {
  return process_.started() && process_.WaitExit(timeout_ms).has_value();
}

}  // namespace qvx::e2e

// Taking text from windows and the clipboard, and putting results back.
#include "shell/text_capture.h"

#include <chrono>
#include <string_view>

#include "shell/app.h"
#include "shell/clipboard_text.h"
#include "shell/key_player.h"
#include "shell/model/key_sequence.h"

namespace qvx::shell {

namespace {

// How long a window that is not busy may take to put its copy on the
// clipboard. A window with nothing selected never copies, so this is also how
// long that case takes to report. Time the window spends busy (copying a long
// text) is not counted, up to kLongestCopyMs in all.
constexpr DWORD kWindowCopyWaitMs = 2000;
// The clipboard source only gives the foreground window a chance to copy its
// selection; without one the clipboard is used as it is.
constexpr DWORD kClipboardCopyWaitMs = 600;
constexpr DWORD kLongestCopyMs = 120000;
constexpr DWORD kPollMs = 10;
constexpr UINT kBusyProbeMs = 250;
// How long a command waits for a text operation that is just ending.
constexpr std::chrono::milliseconds kGraceMs(1000);

// Waits until the condition holds, the window has been idle for idleLimitMs
// without it, or kLongestCopyMs have passed. A window that does not answer a
// message within kBusyProbeMs is busy with the keys it was given.
bool WaitForCopy(HWND window, DWORD idleLimitMs, bool (*condition)(DWORD), DWORD arg) {
  const DWORD started = GetTickCount();
  DWORD idle = 0;
  while (!condition(arg)) {
    if (idle >= idleLimitMs || GetTickCount() - started >= kLongestCopyMs) return false;
    const DWORD before = GetTickCount();
    DWORD_PTR ignored = 0;
    const bool answered =
        window == nullptr ||
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kBusyProbeMs, &ignored) != 0;
    // A window that stopped responding altogether is not waited for.
    if (answered || IsHungAppWindow(window)) {
      Sleep(kPollMs);
      idle += GetTickCount() - before;
    }
  }
  return true;
}

bool TextArrived(DWORD) { return ClipboardHasText(); }
bool ClipboardChanged(DWORD sequence) { return GetClipboardSequenceNumber() != sequence; }

bool IsOwnHiddenWindow(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid == GetCurrentProcessId() && !IsWindowVisible(window);
}

class PhaseScope {
 public:
  PhaseScope(TextOperation& operation, OperationPhase during) : operation_(operation) {
    operation_.SetPhase(during);
  }
  PhaseScope(const PhaseScope&) = delete;
  PhaseScope& operator=(const PhaseScope&) = delete;
  ~PhaseScope() { operation_.SetPhase(OperationPhase::Working); }

 private:
  TextOperation& operation_;
};

}  // namespace

HWND TopLevelOf(HWND window) {
  if (window == nullptr) return nullptr;
  HWND desktop = GetDesktopWindow();
  HWND current = window;
  for (;;) {
    HWND parent = GetParent(current);
    if (parent == nullptr || parent == desktop) return current;
    current = parent;
  }
}

namespace {

// Windows that are never the user's text: the taskbar, menus, tooltips and
// other tool windows, and the program's own hidden windows.
bool CanBeTarget(HWND window, HWND self) {
  if (window == nullptr || window == self || !IsWindowVisible(window)) return false;
  if ((GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0) return false;
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  const std::string_view cls(name);
  return cls != "Shell_TrayWnd" && cls != "#32768" && cls != "Progman" && cls != "WorkerW";
}

}  // namespace

HWND FindTargetWindow(HWND self) {
  HWND window = TopLevelOf(GetForegroundWindow());
  if (window != nullptr && window != self) return window;
  // The tray menu made the hidden main window the foreground window. Being
  // hidden, it was not raised: the user's window is the first one that can be
  // a target from the top of the stacking order.
  for (window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
    if (CanBeTarget(window, self)) return window;
  }
  return nullptr;
}

void BringToForeground(HWND target) {
  if (target == nullptr || TopLevelOf(GetForegroundWindow()) == target) return;
  if (IsIconic(target)) ShowWindow(target, SW_RESTORE);
  SetForegroundWindow(target);
}

std::optional<TextOperation> TextOperation::Begin(App& app) {
  return Begin(app.textOperations(), app.messages());
}

std::optional<TextOperation> TextOperation::Begin(const std::shared_ptr<OperationGate>& gate,
                                                  MessageSink& messages) {
  // How the user is told depends on what the other operation did when this
  // command came: a message box must not appear while keys are being played.
  const OperationPhase arrived = gate->phase();
  if (auto ticket = gate->TryBegin(kGraceMs)) return TextOperation(std::move(*ticket));
  const OperationPhase running = arrived != OperationPhase::Idle ? arrived : gate->phase();
  if (RefusalFor(running) == Refusal::Quiet) {
    MessageBeep(MB_ICONWARNING);
  } else {
    messages.Show(Msg::OperationBusy, BoxKind::Warning);
  }
  return std::nullopt;
}

Result<CapturedText> TextOperation::Capture(HWND target, TextSource source) {
  PhaseScope phase(*this, OperationPhase::AtTarget);
  if (FromWindow(source)) {
    ClearClipboard();
    BringToForeground(target);
    Sleep(kPauseBeforePlaybackMs);
    PlayKeySequence(source == TextSource::WholeWindow ? SelectAllCopySequence() : CopySequence());
    WaitForCopy(target, kWindowCopyWaitMs, &TextArrived, 0);
  } else {
    const DWORD sequence = GetClipboardSequenceNumber();
    Sleep(kPauseBeforePlaybackMs);
    HWND foreground = GetForegroundWindow();
    if (foreground != nullptr && !IsOwnHiddenWindow(foreground)) {
      PlayKeySequence(CopySequence());
      WaitForCopy(foreground, kClipboardCopyWaitMs, &ClipboardChanged, sequence);
    }
  }
  return ReadClipboardText();
}

Status TextOperation::PutBack(HWND target, std::string_view text) {
  PhaseScope phase(*this, OperationPhase::AtTarget);
  if (Status put = WriteClipboardText(text); !put) return put;
  if (target == nullptr || !IsWindow(target)) {
    return MakeError(Errc::NotFound, "the window the text came from is gone");
  }
  BringToForeground(target);
  Sleep(kPauseBeforePlaybackMs);
  PlayKeySequence(PasteSequence());
  return Ok();
}

Status TextOperation::PutOnClipboard(std::string_view text) {
  PhaseScope phase(*this, OperationPhase::AtTarget);
  return WriteClipboardText(text);
}

}  // namespace qvx::shell

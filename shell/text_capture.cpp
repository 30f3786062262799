// Taking text from windows and the clipboard, and putting results back.
#include "shell/text_capture.h"

#include "shell/app.h"
#include "shell/clipboard_text.h"
#include "shell/key_player.h"
#include "shell/model/key_sequence.h"

namespace qvx::shell {

namespace {

// How long a copy may take to reach the clipboard. A window with nothing
// selected never copies, so this is also how long that case takes to report.
constexpr DWORD kWindowCopyWaitMs = 2000;
// The clipboard source only gives the foreground window a chance to copy its
// selection; without one the clipboard is used as it is.
constexpr DWORD kClipboardCopyWaitMs = 600;
constexpr DWORD kPollMs = 10;

bool WaitFor(DWORD timeoutMs, bool (*condition)(DWORD), DWORD arg) {
  const DWORD started = GetTickCount();
  while (!condition(arg)) {
    if (GetTickCount() - started >= timeoutMs) return false;
    Sleep(kPollMs);
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

HWND FindTargetWindow(HWND self) {
  HWND window = GetForegroundWindow();
  if (window != nullptr && window == self) {
    do {
      window = GetWindow(window, GW_HWNDNEXT);
    } while (window != nullptr && !IsWindowVisible(window));
  }
  return TopLevelOf(window);
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
  if (auto ticket = gate->TryBegin()) return TextOperation(std::move(*ticket));
  if (RefusalFor(gate->phase()) == Refusal::Quiet) {
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
    WaitFor(kWindowCopyWaitMs, &TextArrived, 0);
  } else {
    const DWORD sequence = GetClipboardSequenceNumber();
    Sleep(kPauseBeforePlaybackMs);
    HWND foreground = GetForegroundWindow();
    if (foreground != nullptr && !IsOwnHiddenWindow(foreground)) {
      PlayKeySequence(CopySequence());
      WaitFor(kClipboardCopyWaitMs, &ClipboardChanged, sequence);
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

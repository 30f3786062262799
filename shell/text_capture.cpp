// Taking text from windows and the clipboard, and putting results back.
#include "shell/text_capture.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "win32ui/clipboard_text.h"
#include "shell/key_player.h"
#include "platform/files.h"
#include "platform/settings.h"
#include "platform/system.h"
#include "shell/model/key_sequence.h"
#include "shell/model/settings_model.h"

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
// How long a target may take to answer after a paste before the user's
// clipboard is given back anyway, and the pause between the two probes.
constexpr UINT kPasteAnswerMs = 5000;
// The timing trace's log, in the program's folder beside the key folders.
constexpr const char* kTraceFileName = "Quorvix-trace.log";
constexpr DWORD kBetweenProbesMs = 50;
// A copy may come in several formats one after the other: the clipboard is
// settled once its sequence number stayed the same for kSettleMs.
constexpr DWORD kSettleMs = 30;
// How long a target brought forward may take to be the foreground window.
constexpr DWORD kForegroundWaitMs = 2000;
constexpr int kSettleRounds = 20;

// Waits until the condition holds, the window has been idle for idle_limit_ms
// without it, or kLongestCopyMs have passed. A window that does not answer a
// message within kBusyProbeMs is busy with the keys it was given; without a
// window every moment counts, so this is a plain timed wait.
template <typename Condition>
bool WaitWhileResponsive(HWND window, DWORD idle_limit_ms, const Condition& condition) {
  const DWORD started = GetTickCount();
  DWORD idle = 0;
  while (!condition()) {
    if (idle >= idle_limit_ms || GetTickCount() - started >= kLongestCopyMs) return false;
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

void WaitClipboardSettled() {
  DWORD last = GetClipboardSequenceNumber();
  for (int round = 0; round < kSettleRounds; ++round) {
    Sleep(kSettleMs);
    const DWORD now = GetClipboardSequenceNumber();
    if (now == last) return;
    last = now;
  }
}

// The integrity level of a process token, or why it could not be read.
TargetIntegrity IntegrityOfToken(HANDLE process) {
  TargetIntegrity result;
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) {
    result.access_denied = GetLastError() == ERROR_ACCESS_DENIED;
    return result;
  }
  DWORD needed = 0;
  GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &needed);
  if (needed >= sizeof(TOKEN_MANDATORY_LABEL)) {
    std::vector<unsigned char> buffer(needed);
    auto* label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data());
    if (GetTokenInformation(token, TokenIntegrityLevel, label, needed, &needed) &&
        IsValidSid(label->Label.Sid)) {
      const UCHAR count = *GetSidSubAuthorityCount(label->Label.Sid);
      if (count > 0) result.level = *GetSidSubAuthority(label->Label.Sid, count - 1u);
    }
  }
  CloseHandle(token);
  return result;
}

TargetIntegrity IntegrityOfProcess(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) {
    TargetIntegrity result;
    result.access_denied = GetLastError() == ERROR_ACCESS_DENIED;
    return result;
  }
  TargetIntegrity result = IntegrityOfToken(process);
  CloseHandle(process);
  return result;
}

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

WindowIdentity IdentifyWindow(HWND window) {
  if (window == nullptr) return {};
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return {reinterpret_cast<std::uintptr_t>(window), pid};
}

KeyAccess KeyAccessTo(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == 0 || pid == GetCurrentProcessId()) return KeyAccess::Allowed;
  return KeysReachTarget(IntegrityOfProcess(pid), IntegrityOfToken(GetCurrentProcess()).level);
}

Result<CapturedText> ReadClipboardCapture() {
  auto text = win32ui::ReadClipboardText();
  if (!text) return text.error();
  return CapturedText{std::move(text->text), text->lossy};
}

SafetyOptions CurrentSafetyOptions() {
  const auto store = OpenUserSettings();
  return store ? LoadSafetyOptions(*store) : SafetyOptions{};
}

TextOperation::TextOperation(OperationGate::Ticket ticket, const SafetyOptions& options,
                             OperationTrace trace)
    : ticket_(std::move(ticket)), options_(options), trace_(std::move(trace)) {}

TextOperation::~TextOperation() {
  if (saved_ && GetClipboardSequenceNumber() == our_sequence_) saved_->Restore();
}

void TextOperation::RestoreUserClipboard() {
  if (!saved_) return;
  if (GetClipboardSequenceNumber() == our_sequence_) saved_->Restore();
  saved_.reset();
}

std::optional<TextOperation> TextOperation::Begin(const std::shared_ptr<OperationGate>& gate,
                                                  MessageShow& messages, std::string_view name) {
  // How the user is told depends on what the other operation did when this
  // command came: a message box must not appear while keys are being played.
  const OperationPhase arrived = gate->phase();
  // Read before the ticket is taken: a command that comes while this one
  // starts must find it at the target already, not busy elsewhere.
  const auto store = OpenUserSettings();
  const SafetyOptions options = store ? LoadSafetyOptions(*store) : SafetyOptions{};
  if (auto ticket = gate->TryBegin(kGraceMs)) {
    const auto trace_file =
        ChooseTraceFile(store ? store->ReadDword(value_names::kTrace) : std::nullopt,
                        std::getenv("QVX_TRACE"), JoinPath(ProgramFolder(), kTraceFileName));
    return TextOperation(std::move(*ticket), options,
                         trace_file ? OperationTrace(*trace_file, name) : OperationTrace());
  }
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
  const DWORD pause = PauseBeforeKeysMs(options_.extra_key_delay_ms);
  if (FromWindow(source)) {
    // The pause runs from here: the checks and the clipboard's safekeeping
    // take part of it, so a command keeps its usual pace.
    const DWORD started = GetTickCount();
    target_ = IdentifyWindow(target);
    if (target != nullptr && KeyAccessTo(target) == KeyAccess::Elevated) {
      return MakeError(Errc::AccessDenied, "the target window runs elevated");
    }
    if (options_.keep_clipboard && !saved_) {
      saved_ = std::make_unique<ClipboardSnapshot>(ClipboardSnapshot::Take());
    }
    win32ui::ClearClipboard();
    our_sequence_ = GetClipboardSequenceNumber();
    trace_.Mark("clipboard saved");
    BringToForeground(target);
    trace_.Mark("target in front");
    const DWORD spent = GetTickCount() - started;
    if (spent < pause) Sleep(pause - spent);
    PlayKeySequence(source == TextSource::WholeWindow ? SelectAllCopySequence() : CopySequence());
    trace_.Mark("keys played");
    if (WaitWhileResponsive(target, kWindowCopyWaitMs + options_.extra_key_delay_ms,
                            [] { return win32ui::ClipboardHasText(); })) {
      WaitClipboardSettled();
      trace_.Mark("copy seen");
    } else {
      trace_.Mark("no copy came");
    }
    our_sequence_ = GetClipboardSequenceNumber();
  } else {
    const DWORD sequence = GetClipboardSequenceNumber();
    Sleep(pause);
    HWND foreground = GetForegroundWindow();
    if (foreground != nullptr && !IsOwnHiddenWindow(foreground)) {
      PlayKeySequence(CopySequence());
      trace_.Mark("keys played");
      const bool copied =
          WaitWhileResponsive(foreground, kClipboardCopyWaitMs + options_.extra_key_delay_ms,
                              [sequence] { return GetClipboardSequenceNumber() != sequence; });
      trace_.Mark(copied ? "copy seen" : "no copy came");
    }
  }
  Result<CapturedText> captured = ReadClipboardCapture();
  if (captured) trace_.Mark("text read", std::to_string(captured->text.size()) + " bytes");
  return captured;
}

Status TextOperation::Leave(std::string_view text, bool secret) {
  // A result left for the user is his now: his old clipboard is not put back
  // over it.
  saved_.reset();
  DWORD sequence = 0;
  Status put = win32ui::WriteClipboardText(text, &sequence);
  our_sequence_ = sequence;
  if (put && secret) win32ui::ClearClipboardLater(sequence, options_.clear_clipboard_seconds);
  return put;
}

void TextOperation::WaitForPasteTaken(HWND target) const {
  // The paste is read from the clipboard while the target handles Ctrl+V. A
  // target that answers a message after the pause has handled the keys that
  // came before it; the second probe covers a target that was busy and took
  // the first one just ahead of the keys still queued.
  Sleep(PauseBeforeKeysMs(options_.extra_key_delay_ms));
  for (int probe = 0; probe < 2; ++probe) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kPasteAnswerMs,
                        &ignored);
    Sleep(kBetweenProbesMs);
  }
}

Status TextOperation::PutBack(HWND target, std::string_view text, bool secret) {
  const WindowIdentity id = target != nullptr && WindowOf(target_) == target
                                ? target_
                                : IdentifyWindow(target);
  return PutBack(id, text, secret);
}

Status TextOperation::PutBack(const WindowIdentity& target, std::string_view text, bool secret) {
  PhaseScope phase(*this, OperationPhase::AtTarget);
  HWND window = WindowOf(target);
  if (window == nullptr || !IsWindow(window) || IdentifyWindow(window).process != target.process) {
    if (Status put = Leave(text, secret); !put) return put;
    return MakeError(Errc::NotFound, "the window the text came from is gone");
  }
  if (KeyAccessTo(window) == KeyAccess::Elevated) {
    if (Status put = Leave(text, secret); !put) return put;
    return MakeError(Errc::AccessDenied, "the target window runs elevated");
  }
  // A paste that did not start with a capture (a viewer's "Past back")
  // borrows the clipboard too.
  if (options_.keep_clipboard && !saved_ && target_.window == 0) {
    saved_ = std::make_unique<ClipboardSnapshot>(ClipboardSnapshot::Take());
  }
  DWORD sequence = 0;
  if (Status put = win32ui::WriteClipboardText(text, &sequence); !put) return put;
  our_sequence_ = sequence;
  trace_.Mark("result on clipboard");
  BringToForeground(window);
  trace_.Mark("target in front");
  Sleep(PauseBeforeKeysMs(options_.extra_key_delay_ms));
  // The keys go to whatever window is in front: only to the one the text
  // came from. A slow window may take a moment to come forward.
  const auto in_front = [&] {
    return MayPasteInto(target, IdentifyWindow(TopLevelOf(GetForegroundWindow())));
  };
  if (!WaitWhileResponsive(nullptr, kForegroundWaitMs + options_.extra_key_delay_ms, in_front)) {
    saved_.reset();
    if (secret) win32ui::ClearClipboardLater(sequence, options_.clear_clipboard_seconds);
    return MakeError(Errc::Interrupted, "the target window is no longer in front");
  }
  PlayKeySequence(PasteSequence());
  trace_.Mark("written back", std::to_string(text.size()) + " bytes pasted");
  if (saved_) {
    WaitForPasteTaken(window);
    RestoreUserClipboard();
    trace_.Mark("clipboard restored");
  } else if (secret) {
    win32ui::ClearClipboardLater(sequence, options_.clear_clipboard_seconds);
  }
  return Ok();
}

Status TextOperation::PutOnClipboard(std::string_view text, bool secret) {
  PhaseScope phase(*this, OperationPhase::AtTarget);
  return Leave(text, secret);
}

}  // namespace qvx::shell

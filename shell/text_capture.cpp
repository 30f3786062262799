// Taking text from windows and the clipboard, and putting results back.
#include "shell/text_capture.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "win32ui/clipboard_offer.h"
#include "win32ui/clipboard_text.h"
#include "shell/key_player.h"
#include "platform/files.h"
#include "platform/settings.h"
#include "platform/system.h"
#include "shell/model/key_sequence.h"
#include "shell/model/settings_model.h"
#include "shell/model/text_access.h"

namespace qvx::shell {

namespace {

// How long a window that is not busy may take to put its copy on the
// clipboard after the keys. A window with nothing selected never copies, so
// this is also how long that case takes to report. Time the window spends
// busy (copying a long text) is not counted, up to kLongestCopyMs in all.
constexpr DWORD kWindowCopyWaitMs = 1000;
// The clipboard source only gives the foreground window a chance to copy its
// selection; without one the clipboard is used as it is.
constexpr DWORD kClipboardCopyWaitMs = 600;
constexpr DWORD kLongestCopyMs = 120000;
constexpr DWORD kPollMs = 10;
constexpr UINT kBusyProbeMs = 250;
// How long a command waits for a text operation that is just ending.
constexpr std::chrono::milliseconds kGraceMs(1000);
// The timing trace's log, in the program's folder beside the key folders.
constexpr const char* kTraceFileName = "Quorvix-trace.log";
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

bool IsCloaked(HWND window) {
  // DWMWA_CLOAKED (14), asked of dwmapi only where it exists.
  using GetAttribute = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
  static const auto get_attribute = [] {
    HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
    return dwm != nullptr
               ? reinterpret_cast<GetAttribute>(
                     reinterpret_cast<void (*)()>(GetProcAddress(dwm, "DwmGetWindowAttribute")))
               : nullptr;
  }();
  DWORD cloaked = 0;
  return get_attribute != nullptr && SUCCEEDED(get_attribute(window, 14, &cloaked, sizeof cloaked)) &&
         cloaked != 0;
}

WindowFacts FactsOf(HWND window, HWND self) {
  WindowFacts facts;
  facts.id = reinterpret_cast<std::uintptr_t>(window);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  facts.class_name = name;
  const auto ex_style = GetWindowLongPtrW(window, GWL_EXSTYLE);
  facts.visible = IsWindowVisible(window) != FALSE;
  facts.minimized = IsIconic(window) != FALSE;
  facts.tool_window = (ex_style & WS_EX_TOOLWINDOW) != 0;
  facts.topmost = (ex_style & WS_EX_TOPMOST) != 0;
  facts.owned = GetWindow(window, GW_OWNER) != nullptr;
  facts.cloaked = facts.visible && IsCloaked(window);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  facts.ours = window == self || pid == GetCurrentProcessId();
  return facts;
}

}  // namespace

HWND FindTargetWindow(HWND self) {
  HWND in_front = TopLevelOf(GetForegroundWindow());
  std::optional<WindowFacts> front;
  if (in_front != nullptr) front = FactsOf(in_front, self);
  // Asked only when the window in front is not the user's (the tray menu made
  // the hidden main window or the taskbar the foreground window).
  std::vector<WindowFacts> order;
  if (!front || !CanHoldUsersText(*front)) {
    for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      if (IsWindowVisible(w)) order.push_back(FactsOf(w, self));
    }
  }
  return reinterpret_cast<HWND>(PickTargetWindow(front, order));
}

HWND MenuCommandTarget(HWND remembered, HWND self) {
  if (remembered != nullptr && IsWindow(remembered) && IsWindowVisible(remembered)) return remembered;
  return FindTargetWindow(self);
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

Result<CapturedText> ReadClipboardCapture(DWORD patience_ms) {
  auto text = win32ui::ReadClipboardText(patience_ms);
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
  RestoreUserClipboard(GetClipboardSequenceNumber() == our_sequence_);
}

void TextOperation::SaveUserClipboard() {
  if (!options_.keep_clipboard || snapshot_state_ != SnapshotState::NotWanted) return;
  auto snapshot = ClipboardSnapshot::Take(ClipboardPatienceMs(options_.extra_key_delay_ms));
  if (snapshot) {
    saved_ = std::make_unique<ClipboardSnapshot>(std::move(*snapshot));
    snapshot_state_ = SnapshotState::Taken;
  } else {
    snapshot_state_ = SnapshotState::Failed;
    trace_.Mark("clipboard not saved");
  }
}

void TextOperation::RestoreUserClipboard(bool still_ours) {
  if (ShouldRestoreClipboard(snapshot_state_, still_ours, false) && saved_) saved_->Restore();
  saved_.reset();
  // Put back (or given up) once: the clipboard is the user's again.
  if (snapshot_state_ == SnapshotState::Taken) snapshot_state_ = SnapshotState::Failed;
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

std::optional<CapturedText> TextOperation::CaptureDirectly(HWND target, TextSource source) {
  auto field = TextField::FocusedIn(target);
  if (!field) return std::nullopt;
  auto contents = field->Read();
  if (!contents) {
    trace_.Mark("field not read", contents.error().detail);
    return std::nullopt;
  }
  const TextRange range =
      source == TextSource::WholeWindow ? TextRange{0, contents->text.size()} : contents->selection;
  if (source == TextSource::WholeWindow) field->SelectAll();
  win32ui::AnsiText ansi = win32ui::WideToAnsi(contents->text.data() + range.begin, range.size());
  trace_.Mark("text read", std::to_string(ansi.text.size()) + " bytes from the field");
  direct_ = DirectCapture{std::move(*field), std::move(*contents), range};
  return CapturedText{std::move(ansi.text), ansi.lossy};
}

Result<CapturedText> TextOperation::CaptureByCopy(HWND target, TextSource source) {
  const DWORD pause = PauseBeforeKeysMs(options_.extra_key_delay_ms);
  const DWORD patience = ClipboardPatienceMs(options_.extra_key_delay_ms);
  // The pause runs from here: the clipboard's safekeeping takes part of it,
  // so a command keeps its usual pace.
  const DWORD started = GetTickCount();
  SaveUserClipboard();
  const bool emptied = win32ui::ClearClipboard(patience);
  // Only a change after this moment is the window's copy: should emptying
  // have failed, the user's old text is never passed off as the window's.
  const DWORD before_copy = GetClipboardSequenceNumber();
  our_sequence_ = before_copy;
  trace_.Mark(emptied ? "clipboard saved" : "clipboard not emptied");
  BringToForeground(target);
  trace_.Mark("target in front");
  const DWORD spent = GetTickCount() - started;
  if (spent < pause) Sleep(pause - spent);
  PlayKeySequence(source == TextSource::WholeWindow ? SelectAllCopySequence() : CopySequence());
  trace_.Mark("keys played");
  const bool copied =
      WaitWhileResponsive(target, kWindowCopyWaitMs + options_.extra_key_delay_ms, [before_copy] {
        return GetClipboardSequenceNumber() != before_copy && win32ui::ClipboardHasText();
      });
  if (!copied) {
    trace_.Mark("no copy came");
    our_sequence_ = GetClipboardSequenceNumber();
    return MakeError(Errc::NotFound, "the window copied no text");
  }
  WaitClipboardSettled();
  trace_.Mark("copy seen");
  our_sequence_ = GetClipboardSequenceNumber();
  Result<CapturedText> captured = ReadClipboardCapture(patience);
  if (captured) trace_.Mark("text read", std::to_string(captured->text.size()) + " bytes");
  return captured;
}

Result<CapturedText> TextOperation::Capture(HWND target, TextSource source) {
  PhaseScope phase(*this, OperationPhase::AtTarget);
  if (FromWindow(source)) {
    target_ = IdentifyWindow(target);
    direct_.reset();
    if (target != nullptr && KeyAccessTo(target) == KeyAccess::Elevated) {
      return MakeError(Errc::AccessDenied, "the target window runs elevated");
    }
    if (options_.direct_access) {
      if (auto captured = CaptureDirectly(target, source)) return std::move(*captured);
    }
    return CaptureByCopy(target, source);
  }
  const DWORD sequence = GetClipboardSequenceNumber();
  Sleep(PauseBeforeKeysMs(options_.extra_key_delay_ms));
  HWND foreground = GetForegroundWindow();
  if (foreground != nullptr && !IsOwnHiddenWindow(foreground)) {
    PlayKeySequence(CopySequence());
    trace_.Mark("keys played");
    const bool copied =
        WaitWhileResponsive(foreground, kClipboardCopyWaitMs + options_.extra_key_delay_ms,
                            [sequence] { return GetClipboardSequenceNumber() != sequence; });
    trace_.Mark(copied ? "copy seen" : "no copy came");
    if (copied) WaitClipboardSettled();
  }
  Result<CapturedText> captured = ReadClipboardCapture(ClipboardPatienceMs(options_.extra_key_delay_ms));
  if (captured) trace_.Mark("text read", std::to_string(captured->text.size()) + " bytes");
  return captured;
}

Status TextOperation::Leave(std::string_view text, bool secret) {
  // A result left for the user is his now: his old clipboard is not put back
  // over it.
  saved_.reset();
  if (snapshot_state_ == SnapshotState::Taken) snapshot_state_ = SnapshotState::Failed;
  DWORD sequence = 0;
  Status put = win32ui::WriteClipboardText(text, &sequence);
  our_sequence_ = sequence;
  if (put && secret) win32ui::ClearClipboardLater(sequence, options_.clear_clipboard_seconds);
  return put;
}

Status TextOperation::PutBack(HWND target, std::string_view text, bool secret) {
  const WindowIdentity id = target != nullptr && WindowOf(target_) == target
                                ? target_
                                : IdentifyWindow(target);
  return PutBack(id, text, secret);
}

Status TextOperation::PutBackDirectly(HWND window, std::string_view text, bool secret) {
  // The field the text came from, or (for a paste that did not start with a
  // capture, a viewer's "Past back") the one that has the focus now, with
  // its selection as it is now.
  std::optional<DirectCapture> place;
  if (direct_ && IsWindow(direct_->field.control()) && TopLevelOf(direct_->field.control()) == window) {
    BringToForeground(window);
    place = std::move(direct_);
    direct_.reset();
  } else if (!direct_ && target_.window == 0 && options_.direct_access) {
    // The field with the focus counts only once its window is in front: it
    // is where a paste would go.
    BringToForeground(window);
    const WindowIdentity target = IdentifyWindow(window);
    const bool in_front = WaitWhileResponsive(nullptr, kForegroundWaitMs + options_.extra_key_delay_ms, [&] {
      return MayPasteInto(target, IdentifyWindow(TopLevelOf(GetForegroundWindow())));
    });
    auto field = in_front ? TextField::FocusedIn(window) : std::nullopt;
    if (field) {
      if (auto contents = field->Read()) {
        const TextRange range = contents->selection;
        place = DirectCapture{std::move(*field), std::move(*contents), range};
      }
    }
  }
  if (!place) return MakeError(Errc::Io, "no text field to write to");
  const win32ui::SecureWide wide = win32ui::AnsiToWide(text);
  Status written = place->field.Replace(place->before, place->range, {wide.data(), wide.size()});
  if (written) {
    trace_.Mark("written back", std::to_string(text.size()) + " bytes into the field");
    return written;
  }
  trace_.Mark("field write failed", written.error().detail);
  if (written.code() == Errc::Io) return written;
  // Whatever the field holds now, the result is not lost.
  if (Status put = Leave(text, secret); !put) return put;
  return written.code() == Errc::Interrupted
             ? MakeError(Errc::NotDelivered, "the text in the window changed meanwhile")
             : written;
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
  Status direct = PutBackDirectly(window, text, secret);
  if (direct || direct.code() != Errc::Io) return direct;
  return PutBackByPaste(target, text, secret);
}

Status TextOperation::PutBackByPaste(const WindowIdentity& target, std::string_view text, bool secret) {
  HWND window = WindowOf(target);
  // A paste that did not start with a capture (a viewer's "Past back")
  // borrows the clipboard too.
  if (target_.window == 0) SaveUserClipboard();
  auto offer = win32ui::ClipboardOffer::Make(text, ClipboardPatienceMs(options_.extra_key_delay_ms));
  if (!offer) return offer.error();
  trace_.Mark("result on clipboard");
  // The result stays on the clipboard for the user: made whole, and cleared
  // after his time when it is a plaintext.
  const auto leave_offer = [&] {
    saved_.reset();
    if (snapshot_state_ == SnapshotState::Taken) snapshot_state_ = SnapshotState::Failed;
    const DWORD sequence = (*offer)->RenderAll();
    our_sequence_ = sequence;
    if (secret && sequence != 0) win32ui::ClearClipboardLater(sequence, options_.clear_clipboard_seconds);
  };
  BringToForeground(window);
  trace_.Mark("target in front");
  Sleep(PauseBeforeKeysMs(options_.extra_key_delay_ms));
  // The keys go to whatever window is in front: only to the one the text
  // came from. A slow window may take a moment to come forward.
  const auto in_front = [&] {
    return MayPasteInto(target, IdentifyWindow(TopLevelOf(GetForegroundWindow())));
  };
  if (!WaitWhileResponsive(nullptr, kForegroundWaitMs + options_.extra_key_delay_ms, in_front)) {
    leave_offer();
    return MakeError(Errc::Interrupted, "the target window is no longer in front");
  }
  PlayKeySequence(PasteSequence());
  trace_.Mark("keys played", std::to_string(text.size()) + " bytes offered");
  if (!(*offer)->WaitTaken(window, PasteTakenWaitMs(options_.extra_key_delay_ms))) {
    trace_.Mark("paste not taken");
    leave_offer();
    return MakeError(Errc::NotDelivered, "the target did not take the paste");
  }
  trace_.Mark("written back", "the target read the paste");
  if (snapshot_state_ == SnapshotState::Taken) {
    RestoreUserClipboard((*offer)->StillOnClipboard());
    trace_.Mark("clipboard restored");
  } else {
    leave_offer();
  }
  return Ok();
}

Status TextOperation::PutOnClipboard(std::string_view text, bool secret) {
  PhaseScope phase(*this, OperationPhase::AtTarget);
  return Leave(text, secret);
}

}  // namespace qvx::shell

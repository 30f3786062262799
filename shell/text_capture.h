// Taking the text of another window or of the clipboard, and putting a result
// back: the only place where the program reads and writes other programs'
// text, plays keys into their windows and fills the clipboard for them.
// Every command that works on the user's text (encrypt/decrypt, sign, verify,
// insert or read a public key, a viewer's "Past back") goes through a
// TextOperation, which also keeps to one text operation at a time.
//
// Two paths. When the target's focused control is a standard edit or rich
// edit field (and "DirectAccess" is on), its text and selection are read and
// the result written through the field's own messages (see TextField): the
// clipboard is never touched and no keys are played. A result written that
// way is read back; one that did not arrive is reported and left on the
// clipboard.
//
// Every other window takes the clipboard path. Taking text: the target comes
// to the foreground; the clipboard is emptied; after a pause of 200 ms Ctrl+C
// (the selection) or Ctrl+A, Ctrl+C (everything) is played into it, and a
// copy counts only when the clipboard's sequence number moved past the
// emptying (a clipboard that could not be emptied never passes the user's old
// text off as the window's). A clipboard held open by another program is
// waited for. The clipboard source plays Ctrl+C into the foreground window
// without emptying the clipboard: a selection there replaces the clipboard
// text, otherwise the clipboard is used as it is.
//
// Putting text back: the result is offered on the clipboard with delayed
// rendering, the target comes to the foreground and, after 200 ms, Ctrl+V is
// played, but only when the window in front is then still the one the text
// came from: a paste never goes to a window the user moved to meanwhile. The
// paste counts once the target has read the text; a target that never reads
// it within the wait is reported ("did not arrive"), and the result stays on
// the clipboard.
//
// Safety around the target: keys are not played into a window of a process
// that runs at a higher integrity level (Windows would drop them silently);
// every pause before a key sequence is 200 ms plus the user's extra delay.
// With "KeepClipboard" the user's clipboard is saved before a window's text
// is copied and put back once the target has read the paste, or when the
// operation ends; a result that could not be pasted stays on the clipboard
// instead, since the user needs it there. A clipboard that could not be saved
// is never "put back".
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string_view>

#include "platform/result.h"
#include "platform/trace.h"
#include "platform/ui.h"
#include "shell/clipboard_snapshot.h"
#include "shell/direct_text.h"
#include "shell/model/crypt_command.h"
#include "shell/model/operation_gate.h"
#include "shell/model/settings_model.h"
#include "shell/model/target_checks.h"
#include "win32ui/clipboard_text.h"
#include "win32ui/screen_privacy.h"

namespace qvx::shell {


// The outermost window below the desktop that holds the window; nullptr for
// nullptr.
HWND TopLevelOf(HWND window);

// The window a command works on: the top-level window of the foreground
// window; when that cannot hold the user's text (the program's own hidden
// main window, which the tray menu makes foreground, the taskbar) or there is
// none, the uppermost window that can (see PickTargetWindow: not a tool,
// cloaked or owned window, a topmost one only as a last resort).
HWND FindTargetWindow(HWND self);

// The window a menu command works on: the one remembered when the menu
// opened while it still exists and shows, else FindTargetWindow.
HWND MenuCommandTarget(HWND remembered, HWND self);

// Brings a top-level window to the foreground (restoring it when minimised),
// unless it is there already.
void BringToForeground(HWND target);

// A window and the process that owns it now (zeros for nullptr).
WindowIdentity IdentifyWindow(HWND window);
inline HWND WindowOf(const WindowIdentity& id) { return reinterpret_cast<HWND>(id.window); }

// Whether keys played into the window would reach it (see KeysReachTarget).
KeyAccess KeyAccessTo(HWND window);

// The clipboard's text as a captured text (see win32ui::ReadClipboardText).
Result<CapturedText> ReadClipboardCapture(DWORD patience_ms = win32ui::kClipboardPatienceMs);

// The safety options as stored now (defaults where nothing is stored).
SafetyOptions CurrentSafetyOptions();

// "HideFromCapture" as stored now, read each time a secret window opens.
class StoredCapturePolicy final : public win32ui::CapturePolicy {
 public:
  bool HideFromCapture() const override { return CurrentSafetyOptions().hide_from_capture; }
};

// One text operation of the user. Holding it keeps other text commands out;
// it ends when the object goes away.
class TextOperation {
 public:
  // The ticket to work on text. A text operation that is just ending is
  // waited for (up to a second); one that still runs then refuses this one
  // (nullopt), and the user has been told: a beep while the other one plays
  // keys, else "Quorvix is still working on another text...". `name` names
  // the operation in the timing trace.
  static std::optional<TextOperation> Begin(const std::shared_ptr<OperationGate>& gate,
                                            MessageShow& messages, std::string_view name);

  TextOperation(TextOperation&&) noexcept = default;
  TextOperation& operator=(TextOperation&&) = delete;
  // Gives the user's clipboard back if it was saved and is still unrestored,
  // unless something else was copied meanwhile or a result was left there.
  ~TextOperation();

  // The text of the target window (Selection, WholeWindow) or of the
  // clipboard (Clipboard; target is then ignored). Errc::NotFound when no
  // copy came or the clipboard holds no text after it; Errc::AccessDenied
  // when the target runs elevated (no key was played). A field read directly
  // gives its text even when it is empty (the caller says "No text!").
  Result<CapturedText> Capture(HWND target, TextSource source);

  // The window Capture took its text from, with its process.
  const WindowIdentity& target() const { return target_; }

  // The text on the clipboard, then Ctrl+V into the target. A target given
  // by handle alone is the captured one when the handle matches, else the
  // window's current owner. `secret`: the text is a plaintext, so if it stays
  // on the clipboard it is cleared after the user's time.
  //   Errc::Io           the clipboard could not take the text
  //   Errc::NotFound     the target window no longer exists
  //   Errc::Interrupted  the target was not in front when the paste was due
  //   Errc::AccessDenied the target runs elevated
  //   Errc::NotDelivered the result did not arrive: the target ignored the
  //                      paste, or the field did not take it whole
  // On every error after the clipboard took the text it stays there; so
  // does a result that did not arrive.
  Status PutBack(const WindowIdentity& target, std::string_view text, bool secret = false);
  Status PutBack(HWND target, std::string_view text, bool secret = false);

  // The text on the clipboard only (left there). Errc::Io when it could not
  // be put there.
  Status PutOnClipboard(std::string_view text, bool secret = false);

  // What the operation does now (see OperationGate). Capture and PutBack set
  // AtTarget while they run and Working afterwards.
  void SetPhase(OperationPhase phase) { ticket_.SetPhase(phase); }

  // The operation's timing trace (off unless the user asked for it). Capture
  // and PutBack mark their own phases; the command marks the others.
  OperationTrace& trace() { return trace_; }

 private:
  TextOperation(OperationGate::Ticket ticket, const SafetyOptions& options, OperationTrace trace);
  // What a capture through a text field found, for writing the result back.
  struct DirectCapture {
    TextField field;
    TextField::Contents before;
    TextRange range;
  };

  // Put on the clipboard and leave it there.
  Status Leave(std::string_view text, bool secret);
  // The user's clipboard saved before the operation borrows it (once).
  void SaveUserClipboard();
  void RestoreUserClipboard(bool still_ours);
  // The two ways of taking and returning text.
  std::optional<CapturedText> CaptureDirectly(HWND target, TextSource source);
  Result<CapturedText> CaptureByCopy(HWND target, TextSource source);
  // Errc::Io: nothing was written, the clipboard path may follow.
  Status PutBackDirectly(HWND window, std::string_view text, bool secret);
  Status PutBackByPaste(const WindowIdentity& target, std::string_view text, bool secret);

  OperationGate::Ticket ticket_;
  SafetyOptions options_;
  WindowIdentity target_;
  std::optional<DirectCapture> direct_;
  // The user's clipboard while the operation borrows it.
  SnapshotState snapshot_state_ = SnapshotState::NotWanted;
  std::unique_ptr<ClipboardSnapshot> saved_;
  // The clipboard's sequence number after the operation last changed it (or
  // after the target's copy arrived): a different one means someone else
  // copied since.
  DWORD our_sequence_ = 0;
  OperationTrace trace_;
};

}  // namespace qvx::shell

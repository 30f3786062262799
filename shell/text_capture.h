// Taking the text of another window or of the clipboard, and putting a result
// back: the only place where the program plays keys into other windows and
// fills the clipboard for them. Every command that works on the user's text
// (encrypt/decrypt, sign, verify, insert or read a public key, a viewer's
// "Past back") goes through a TextOperation, which also keeps to one text
// operation at a time.
//
// Taking text: the target comes to the foreground; after a pause of 200 ms
// Ctrl+C (the selection) or Ctrl+A, Ctrl+C (everything) is played into it; the
// text is read from the clipboard once the copy has arrived there. Window
// sources empty the clipboard first, so that a window with nothing selected
// leaves no stale text behind. The clipboard source plays Ctrl+C into the
// foreground window without emptying the clipboard: a selection there
// replaces the clipboard text, otherwise the clipboard is used as it is.
//
// Putting text back: the clipboard gets the text in four formats, the target
// comes to the foreground and, after 200 ms, Ctrl+V is played, but only when
// the window in front is then still the one the text came from: a paste never
// goes to a window the user moved to meanwhile.
//
// Safety around the target: keys are not played into a window of a process
// that runs at a higher integrity level (Windows would drop them silently);
// every pause before a key sequence is 200 ms plus the user's extra delay.
// With "KeepClipboard" the user's clipboard is saved before a window's text
// is copied and put back once the target has taken the paste, or when the
// operation ends; a result that could not be pasted stays on the clipboard
// instead, since the user needs it there.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string_view>

#include "platform/result.h"
#include "platform/trace.h"
#include "platform/ui.h"
#include "shell/clipboard_snapshot.h"
#include "shell/model/crypt_command.h"
#include "shell/model/operation_gate.h"
#include "shell/model/settings_model.h"
#include "shell/model/target_checks.h"
#include "win32ui/screen_privacy.h"

namespace qvx::shell {


// The outermost window below the desktop that holds the window; nullptr for
// nullptr.
HWND TopLevelOf(HWND window);

// The window a command works on: the top-level window of the foreground
// window; when that is `self` (the program's hidden main window, which the
// tray menu makes foreground) or there is none, the uppermost visible window
// that can hold the user's text (not the taskbar, a menu or a tool window).
HWND FindTargetWindow(HWND self);

// Brings a top-level window to the foreground (restoring it when minimised),
// unless it is there already.
void BringToForeground(HWND target);

// A window and the process that owns it now (zeros for nullptr).
WindowIdentity IdentifyWindow(HWND window);
inline HWND WindowOf(const WindowIdentity& id) { return reinterpret_cast<HWND>(id.window); }

// Whether keys played into the window would reach it (see KeysReachTarget).
KeyAccess KeyAccessTo(HWND window);

// The clipboard's text as a captured text (see win32ui::ReadClipboardText).
Result<CapturedText> ReadClipboardCapture();

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
  // clipboard (Clipboard; target is then ignored). Errc::NotFound when the
  // clipboard holds no text after the copy; Errc::AccessDenied when the
  // target runs elevated (no key was played).
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
  // On every error after the clipboard took the text it stays there.
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
  // Put on the clipboard and leave it there.
  Status Leave(std::string_view text, bool secret);
  void RestoreUserClipboard();
  void WaitForPasteTaken(HWND target) const;

  OperationGate::Ticket ticket_;
  SafetyOptions options_;
  WindowIdentity target_;
  // The user's clipboard while the operation borrows it.
  std::unique_ptr<ClipboardSnapshot> saved_;
  // The clipboard's sequence number after the operation last changed it (or
  // after the target's copy arrived): a different one means someone else
  // copied since.
  DWORD our_sequence_ = 0;
  OperationTrace trace_;
};

}  // namespace qvx::shell

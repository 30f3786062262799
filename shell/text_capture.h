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
// comes to the foreground and, after 200 ms, Ctrl+V is played. Whatever the
// outcome, the clipboard is left holding the last text put there.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string_view>

#include "platform/result.h"
#include "platform/ui.h"
#include "shell/model/crypt_command.h"
#include "shell/model/operation_gate.h"

namespace qvx::shell {

class App;

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

// One text operation of the user. Holding it keeps other text commands out;
// it ends when the object goes away.
class TextOperation {
 public:
  // The ticket to work on text. A text operation that is just ending is
  // waited for (up to a second); one that still runs then refuses this one
  // (nullopt), and the user has been told: a beep while the other one plays
  // keys, else "Quorvix is still working on another text...".
  static std::optional<TextOperation> Begin(App& app);
  static std::optional<TextOperation> Begin(const std::shared_ptr<OperationGate>& gate,
                                            MessageSink& messages);

  // The text of the target window (Selection, WholeWindow) or of the
  // clipboard (Clipboard; target is then ignored). Errc::NotFound when the
  // clipboard holds no text after the copy.
  Result<CapturedText> Capture(HWND target, TextSource source);

  // The text on the clipboard, then Ctrl+V into the target. Errc::Io when the
  // clipboard could not take the text; Errc::NotFound when the target window
  // no longer exists (the text is then on the clipboard).
  Status PutBack(HWND target, std::string_view text);

  // The text on the clipboard only. Errc::Io when it could not be put there.
  Status PutOnClipboard(std::string_view text);

  // What the operation does now (see OperationGate). Capture and PutBack set
  // AtTarget while they run and Working afterwards.
  void SetPhase(OperationPhase phase) { ticket_.SetPhase(phase); }

 private:
  explicit TextOperation(OperationGate::Ticket ticket) : ticket_(std::move(ticket)) {}
  OperationGate::Ticket ticket_;
};

}  // namespace qvx::shell

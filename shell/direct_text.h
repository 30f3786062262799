// A standard text field of another program (an edit or rich edit control:
// notepad, WordPad, most dialog and form fields), read and written through
// its own window messages. The system carries these messages and their text
// between processes, so the text and the result never pass the clipboard and
// no keys are played. Every message is sent with a timeout: a field whose
// program hangs is given up, never waited for forever.
#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

#include "platform/result.h"
#include "shell/model/text_access.h"
#include "win32ui/ansi_text.h"

namespace qvx::shell {

class TextField {
 public:
  // The control with the keyboard focus in the thread of `top_level`, when
  // it is a standard edit or rich edit control inside that window (not a
  // password field); nullopt otherwise.
  static std::optional<TextField> FocusedIn(HWND top_level);

  // The field's whole text and its selection in that text.
  struct Contents {
    win32ui::SecureWide text;  // without a terminating NUL
    TextRange selection;
    std::wstring_view view() const { return {text.data(), text.size()}; }
  };

  // Errc::Io when the field did not answer in time or gave less than its
  // whole text (then the clipboard path is taken instead).
  Result<Contents> Read() const;

  // Replaces `range` of the text read before (`before`) with `text`, then
  // reads the field again to see that the result arrived whole.
  //   Errc::Io           nothing changed: the field did not take the text
  //                      (the clipboard path may still work)
  //   Errc::Interrupted  the field's text is no longer what was read: the
  //                      user changed it meanwhile; nothing was written
  //   Errc::NotDelivered the field is read-only or too small for the
  //                      result (nothing written), or the text written is
  //                      not what arrived
  Status Replace(const Contents& before, TextRange range, std::wstring_view text) const;

  // Selects the whole text, as Ctrl+A would: the user sees what was taken,
  // and a later paste replaces it.
  void SelectAll() const;

  HWND control() const { return control_; }
  ControlKind kind() const { return kind_; }

 private:
  TextField(HWND control, ControlKind kind, bool read_only)
      : control_(control), kind_(kind), read_only_(read_only) {}

  HWND control_;
  ControlKind kind_;
  bool read_only_;
};

}  // namespace qvx::shell

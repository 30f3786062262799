// Text on the clipboard: reading it as ANSI text, writing a text in the four
// formats other programs look for (CF_LOCALE, CF_UNICODETEXT, CF_TEXT,
// CF_OEMTEXT, in that order), emptying it. Another program may hold the
// clipboard for a moment, so opening it is retried.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/result.h"
#include "shell/model/crypt_command.h"

namespace qvx::shell {

// The clipboard, open for as long as the object lives.
class ClipboardSession {
 public:
  // Tries OpenClipboard up to `attempts` times, yielding between tries.
  explicit ClipboardSession(int attempts = 4096);
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  ~ClipboardSession();
  bool open() const { return open_; }

 private:
  bool open_ = false;
};

// The clipboard's text (its CF_UNICODETEXT converted to the ANSI code page).
// Errc::NotFound when it holds no text; Errc::Io when it could not be opened
// or read.
Result<CapturedText> ReadClipboardText();

// Puts the text on the clipboard in the four formats, replacing what was
// there. Retried up to 5000 times (about 3 seconds at most) while another
// program holds the clipboard; Errc::Io when every attempt failed.
Status WriteClipboardText(std::string_view text);

// Empties the clipboard; false when it could not be opened.
bool ClearClipboard();

// Whether the clipboard offers text in any of the text formats.
bool ClipboardHasText();

}  // namespace qvx::shell

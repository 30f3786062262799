// A text offered on the clipboard for another program to paste, with delayed
// rendering: the clipboard announces the text formats at once, and their data
// is made only when a program asks for it. So the offering program learns when
// the target has really read the text (a paste that a target ignored is never
// read), and can wait for a target that reads late before it puts the user's
// own clipboard back.
//
// The offer is owned by a message-only window on the thread that made it;
// the clipboard's requests arrive as sent messages, handled while that thread
// waits in WaitTaken (or in any other message wait). What is still owed when
// the offer goes is rendered then, so the text is never lost while it is on
// the clipboard. The private markers and the locale are put there at once.
#pragma once

#include <windows.h>

#include <memory>
#include <string_view>

#include "platform/result.h"
#include "win32ui/clipboard_text.h"

namespace qvx::win32ui {

class ClipboardOffer {
 public:
  // Offers the text, waiting up to `patience_ms` for a clipboard someone else
  // holds. Errc::Io when it could not be put there.
  static Result<std::unique_ptr<ClipboardOffer>> Make(std::string_view text, DWORD patience_ms);

  ClipboardOffer(const ClipboardOffer&) = delete;
  ClipboardOffer& operator=(const ClipboardOffer&) = delete;
  ~ClipboardOffer();

  // Handles the clipboard's requests until a program has read the text and
  // `reader` (the target) has finished with the message that made it read,
  // or until `limit_ms` passed. True when the text was read.
  bool WaitTaken(HWND reader, DWORD limit_ms);

  bool taken() const { return taken_; }
  // Whether the clipboard still holds the offer: nobody emptied it since.
  bool StillOnClipboard() const;
  // Makes every format's data now, so that the text stays on the clipboard
  // as it is once the offer goes. Returns the clipboard's sequence number
  // afterwards (0 when the clipboard no longer holds the offer).
  DWORD RenderAll();

 private:
  explicit ClipboardOffer(std::string_view text);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Answers one request: the format's data to the open clipboard.
  void Render(UINT format);

  ClipboardTextForms forms_;
  HWND window_ = nullptr;
  bool rendered_[3] = {false, false, false};  // by ClipboardTextForms::kTextFormats
  bool taken_ = false;
  bool emptied_ = false;
};

}  // namespace qvx::win32ui

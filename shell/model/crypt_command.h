// The encrypt/decrypt command, one run of it: take the text, decide by its
// contents whether to encrypt or decrypt, ask the engine, and put the result
// where it belongs. Everything that touches the desktop (keystrokes, the
// clipboard, windows) is behind CryptDesk, so the decisions can be tested
// without it.
//
// Where results go:
//   source      text holds a block   operation   result
//   window      no                   encrypt     put back in place of the text
//   window      yes                  decrypt     viewer, "Past back" offered
//   clipboard   no                   encrypt     viewer (the clipboard keeps the text)
//   clipboard   yes                  decrypt     viewer
#pragma once

#include <string_view>

#include "engine/cryptotext.h"
#include "platform/result.h"
#include "platform/secure.h"
#include "platform/ui.h"

namespace qvx::shell {

enum class TextSource {
  Clipboard,    // the clipboard (after a Ctrl+C into the foreground window)
  Selection,    // the selected text of the target window
  WholeWindow,  // all the text of the target window (Ctrl+A, Ctrl+C)
};

inline bool FromWindow(TextSource source) { return source != TextSource::Clipboard; }

// A text taken from a window or the clipboard, in the ANSI code page.
struct CapturedText {
  SecureString text;
  // Some characters had no ANSI form and became "?".
  bool lossy = false;
};

class CryptDesk {
 public:
  virtual ~CryptDesk() = default;
  // The text to work on. Errc::NotFound when there is no text on the
  // clipboard after the copy (nothing selected, or non-text data only).
  virtual Result<CapturedText> Capture() = 0;
  // Shows the text about to be encrypted; false when the user stops.
  virtual bool ConfirmOriginal(std::string_view text) = 0;
  // Puts a result in place of the text the window gave. Errc::Io when the
  // clipboard could not take it; Errc::NotFound when the window is gone,
  // Errc::Interrupted when it was not in front for the paste,
  // Errc::AccessDenied when it runs elevated, Errc::NotDelivered when the
  // target did not take the result (the result is then left on the
  // clipboard).
  virtual Status PutBack(std::string_view result) = 0;
  // Opens a viewer with the result; past_back offers "Past back" into the
  // window the text came from.
  virtual void ShowInViewer(const SecureString& result, bool past_back) = 0;
};

// The message for a text that could not be taken from a window or the
// clipboard (Capture's error), and for a result that could not be put back
// (PutBack's error).
Msg CaptureFailureMessage(Errc code);
Msg PutBackFailureMessage(Errc code);

struct CryptRequest {
  TextSource source = TextSource::Selection;
  bool show_text = false;                     // show the original before encrypting
  EnvelopeMode mode = EnvelopeMode::Password;  // how a new block is made
  CryptoFormat format = CryptoFormat::Compatible;  // and in which format
};

enum class CryptOutcome {
  PutBack,  // an encrypted block replaced the window's text
  Shown,    // a result is in a viewer
  Stopped,  // the user cancelled somewhere; nothing changed
  Failed,   // a failure was reported; nothing changed
};

// One run of the command. The engine object is fresh for each run (it holds
// the run's password key and "common password" state). Messages: "Clipboard
// error!" (no text, or the result could not be put on the clipboard), "No
// text!" (empty text), the question about characters lost to the code page
// before encrypting such a text, "The text is too large...", "Memory
// allocation error!", and the messages the engine's failures and notices
// carry, each shown once.
CryptOutcome RunCryptCommand(const CryptRequest& request, CryptDesk& desk,
                             CryptoTextOperation& engine, MessageUi& messages);

}  // namespace qvx::shell

// Text on the clipboard: reading it as ANSI text, writing a text in the four
// formats other programs look for (CF_LOCALE, CF_UNICODETEXT, CF_TEXT,
// CF_OEMTEXT, in that order), emptying it. Another program may hold the
// clipboard for a moment, so opening it is retried.
//
// Every text the program puts there also carries the three registered formats
// that tell Windows to keep it out of the clipboard history, out of the cloud
// clipboard and away from clipboard monitors: the program's texts are
// passwords, plaintexts or blocks the user did not ask to keep.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "platform/result.h"
#include "win32ui/ansi_text.h"

namespace qvx::win32ui {

// How long the clipboard is waited for by default while another program
// (the target that just copied, a clipboard manager, the system's clipboard
// history) holds it open.
inline constexpr DWORD kClipboardPatienceMs = 3000;

// The clipboard, open for as long as the object lives.
class ClipboardSession {
 public:
  // Tries OpenClipboard until it succeeds or `patience_ms` have passed (0:
  // once), pausing briefly between tries. `owner` becomes the clipboard's
  // owner if the clipboard is emptied.
  explicit ClipboardSession(DWORD patience_ms = kClipboardPatienceMs, HWND owner = nullptr);
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  ~ClipboardSession();
  bool open() const { return open_; }

 private:
  bool open_ = false;
};

// The clipboard's text (its CF_UNICODETEXT converted to the ANSI code page).
// A clipboard held open by another program, or whose owner is still putting
// its text there, is retried for up to `patience_ms`. Errc::NotFound when it
// holds no text; Errc::Io when it could not be opened or read in that time.
Result<AnsiText> ReadClipboardText(DWORD patience_ms = kClipboardPatienceMs);

// A text in each clipboard text form, as fresh memory blocks on request.
class ClipboardTextForms {
 public:
  explicit ClipboardTextForms(std::string_view text);
  // A new block for CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT or CF_LOCALE (nullptr
  // for another format or when memory ran out); the caller hands it to
  // SetClipboardData or frees it.
  HANDLE Block(UINT format) const;
  // The formats in the order other programs look for them.
  static constexpr UINT kTextFormats[] = {CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT};

 private:
  SecureWide unicode_;
  SecureString ansi_;
  SecureString oem_;
  DWORD locale_;
};

// Adds the private markers to the clipboard this thread holds open; false when
// one was refused.
bool AddPrivateMarkers();

// Puts the text on the clipboard in the four formats (and the private
// markers), replacing what was there. Retried up to 5000 times (about 3
// seconds at most) while another program holds the clipboard; Errc::Io when
// every attempt failed. `sequence`, when given, receives the clipboard
// sequence number right after the write.
Status WriteClipboardText(std::string_view text, DWORD* sequence = nullptr);

// The registered formats that keep an entry out of clipboard history, the
// cloud clipboard and monitoring programs.
struct PrivateMarkerFormats {
  UINT exclude_from_monitoring;  // "ExcludeClipboardContentFromMonitorProcessing"
  UINT history_allowed;         // "CanIncludeInClipboardHistory", DWORD 0
  UINT cloud_allowed;           // "CanUploadToCloudClipboard", DWORD 0
};
const PrivateMarkerFormats& PrivateMarkers();
bool IsPrivateMarker(UINT format);

// Empties the clipboard after `seconds` if it still holds what it held at
// `sequence` (nothing was copied meanwhile). 0 seconds: never. Runs on a
// thread of its own; returns at once.
void ClearClipboardLater(DWORD sequence, std::uint32_t seconds);

// Empties the clipboard at once if it still holds a text that is waiting to
// be cleared (the program is ending, or the session).
void ClearPendingClipboardNow();

// Empties the clipboard; false when it could not be opened within
// `patience_ms` or refused to be emptied.
bool ClearClipboard(DWORD patience_ms = kClipboardPatienceMs);

// Whether the clipboard offers text in any of the text formats.
bool ClipboardHasText();

}  // namespace qvx::win32ui

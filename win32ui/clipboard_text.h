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
#include "platform/result.h"
#include "win32ui/ansi_text.h"

namespace qvx::win32ui {

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
Result<AnsiText> ReadClipboardText();

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

// Empties the clipboard; false when it could not be opened.
bool ClearClipboard();

// Whether the clipboard offers text in any of the text formats.
bool ClipboardHasText();

}  // namespace qvx::win32ui

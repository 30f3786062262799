// Clipboard text in and out.
#include "win32ui/clipboard_text.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <vector>

#include "win32ui/ansi_text.h"
#include "win32ui/win32_util.h"

namespace qvx::win32ui {

namespace {

constexpr int kReadRounds = 1280;
constexpr int kWriteAttempts = 5000;
constexpr DWORD kWriteTimeLimitMs = 3000;
constexpr DWORD kPauseAfterWriteMs = 10;

// A global memory block for the clipboard; freed unless handed over.
class GlobalBlock {
 public:
  explicit GlobalBlock(std::size_t bytes) : handle_(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes)) {}
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  ~GlobalBlock() {
    if (handle_ == nullptr) return;
    // What the clipboard did not take may hold a decrypted text.
    if (void* p = GlobalLock(handle_)) {
      SecureWipe(p, GlobalSize(handle_));
      GlobalUnlock(handle_);
    }
    GlobalFree(handle_);
  }
  explicit operator bool() const { return handle_ != nullptr; }
  bool Fill(const void* data, std::size_t bytes) {
    void* p = GlobalLock(handle_);
    if (p == nullptr) return false;
    std::memcpy(p, data, bytes);
    GlobalUnlock(handle_);
    return true;
  }
  // Gives the block to the clipboard; true when it took it.
  bool HandTo(UINT format) {
    if (SetClipboardData(format, handle_) == nullptr) return false;
    handle_ = nullptr;
    return true;
  }

 private:
  HGLOBAL handle_;
};

// The text in a code page with its NUL, ready for a clipboard block.
SecureString WithNul(SecureString text) {
  text.append(std::string_view("\0", 1));
  return text;
}

// Adds the markers to the open clipboard; false when one was refused.
bool AddPrivateMarkers() {
  const PrivateMarkerFormats& formats = PrivateMarkers();
  const DWORD no = 0;
  // The exclusion format's presence is what counts; its content is a DWORD
  // like the others for programs that read it anyway.
  bool all = true;
  for (UINT format : {formats.exclude_from_monitoring, formats.history_allowed, formats.cloud_allowed}) {
    if (format == 0) continue;
    GlobalBlock block(sizeof no);
    all = block && block.Fill(&no, sizeof no) && block.HandTo(format) && all;
  }
  return all;
}

bool WriteOnce(const SecureWide& unicode, const SecureString& ansi, const SecureString& oem,
               DWORD locale) {
  GlobalBlock locale_block(sizeof locale);
  GlobalBlock unicode_block(unicode.size() * sizeof(wchar_t));
  GlobalBlock ansi_block(ansi.size());
  GlobalBlock oem_block(oem.size());
  if (!locale_block || !unicode_block || !ansi_block || !oem_block) return false;
  if (!locale_block.Fill(&locale, sizeof locale) ||
      !unicode_block.Fill(unicode.data(), unicode.size() * sizeof(wchar_t)) ||
      !ansi_block.Fill(ansi.data(), ansi.size()) || !oem_block.Fill(oem.data(), oem.size())) {
    return false;
  }
  ClipboardSession clipboard(1);
  if (!clipboard.open()) return false;
  if (!EmptyClipboard()) return false;
  bool all = locale_block.HandTo(CF_LOCALE);
  all = unicode_block.HandTo(CF_UNICODETEXT) && all;
  all = ansi_block.HandTo(CF_TEXT) && all;
  all = oem_block.HandTo(CF_OEMTEXT) && all;
  return AddPrivateMarkers() && all;
}

}  // namespace

ClipboardSession::ClipboardSession(int attempts) {
  for (int i = 0; i < attempts && !open_; ++i) {
    open_ = OpenClipboard(nullptr) != FALSE;
    if (!open_) Sleep(0);
  }
}

ClipboardSession::~ClipboardSession() {
  if (open_) CloseClipboard();
}

Result<AnsiText> ReadClipboardText() {
  // The program that copied may still be putting its data there.
  for (int round = 0; round < kReadRounds; ++round) {
    ClipboardSession clipboard;
    if (!clipboard.open()) return MakeError(Errc::Io, "the clipboard could not be opened");
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data == nullptr) {
      // Nothing will come when the clipboard holds no text at all.
      if (!IsClipboardFormatAvailable(CF_UNICODETEXT) && !IsClipboardFormatAvailable(CF_TEXT) &&
          !IsClipboardFormatAvailable(CF_OEMTEXT) && round > 0) {
        break;
      }
      continue;
    }
    const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
    if (text == nullptr) return MakeError(Errc::Io, "the clipboard text could not be read");
    // The block need not end in a NUL: never read past its size.
    const std::size_t length = wcsnlen(text, GlobalSize(data) / sizeof(wchar_t));
    AnsiText ansi = WideToAnsi(text, length);
    GlobalUnlock(data);
    return ansi;
  }
  return MakeError(Errc::NotFound, "the clipboard holds no text");
}

const PrivateMarkerFormats& PrivateMarkers() {
  static const PrivateMarkerFormats formats{
      RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing"),
      RegisterClipboardFormatA("CanIncludeInClipboardHistory"),
      RegisterClipboardFormatA("CanUploadToCloudClipboard")};
  return formats;
}

bool IsPrivateMarker(UINT format) {
  const PrivateMarkerFormats& f = PrivateMarkers();
  return format != 0 &&
         (format == f.exclude_from_monitoring || format == f.history_allowed || format == f.cloud_allowed);
}

namespace {

// The clipboard's sequence numbers at private texts that are waiting to be
// cleared. The clipboard is shared by the whole process, and so is this list:
// when the program ends, what is still on the clipboard of it goes too.
struct PendingClears {
  std::mutex mutex;
  std::vector<DWORD> sequences;
};

PendingClears& Pending() {
  static PendingClears pending;
  return pending;
}

void Forget(DWORD sequence) {
  PendingClears& pending = Pending();
  std::lock_guard<std::mutex> lock(pending.mutex);
  auto& list = pending.sequences;
  list.erase(std::remove(list.begin(), list.end(), sequence), list.end());
}

// Empties the clipboard if `still_ours` holds for its sequence number. Another
// program may hold the clipboard for a while, and now and then the system
// takes it back between our opening and emptying it (EmptyClipboard then
// fails although OpenClipboard succeeded), so both are retried for up to
// `patience_ms`.
template <typename StillOurs>
void EmptyIfStillOurs(const StillOurs& still_ours, DWORD patience_ms) {
  constexpr DWORD kRetryMs = 20;
  const DWORD started = GetTickCount();
  for (;;) {
    if (!still_ours(GetClipboardSequenceNumber())) return;
    if (OpenClipboard(nullptr)) {
      const bool done = !still_ours(GetClipboardSequenceNumber()) || EmptyClipboard();
      CloseClipboard();
      if (done) return;
    }
    if (GetTickCount() - started >= patience_ms) return;
    Sleep(kRetryMs);
  }
}

}  // namespace

void ClearClipboardLater(DWORD sequence, std::uint32_t seconds) {
  constexpr DWORD kPatienceMs = 10000;
  if (seconds == 0) return;
  {
    PendingClears& pending = Pending();
    std::lock_guard<std::mutex> lock(pending.mutex);
    pending.sequences.push_back(sequence);
  }
  // Should no thread start, the text is still cleared when the program ends.
  StartDetachedThread([sequence, seconds] {
    Sleep(seconds * 1000);
    // Whatever the user copied since is his: only our text goes.
    EmptyIfStillOurs([sequence](DWORD now) { return now == sequence; }, kPatienceMs);
    Forget(sequence);
  });
}

void ClearPendingClipboardNow() {
  constexpr DWORD kPatienceMs = 2000;
  PendingClears& pending = Pending();
  std::lock_guard<std::mutex> lock(pending.mutex);
  if (pending.sequences.empty()) return;
  const auto& list = pending.sequences;
  EmptyIfStillOurs(
      [&list](DWORD now) { return std::find(list.begin(), list.end(), now) != list.end(); },
      kPatienceMs);
  pending.sequences.clear();
}

Status WriteClipboardText(std::string_view text, DWORD* sequence) {
  // Every format is made from the same UTF-16 form of the text.
  const SecureWide wide = [&] {
    SecureWide w = AnsiToWide(text);
    w.push_back(L'\0');
    return w;
  }();
  const SecureString ansi = WithNul(SecureString(text));
  const SecureString oem = WithNul(WideToAnsi(wide.data(), wide.size() - 1, CP_OEMCP).text);
  const DWORD locale = GetUserDefaultLangID();

  const DWORD started = GetTickCount();
  for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
    if (WriteOnce(wide, ansi, oem, locale)) {
      if (sequence != nullptr) *sequence = GetClipboardSequenceNumber();
      // Give clipboard viewers a moment before the text is pasted.
      Sleep(kPauseAfterWriteMs);
      return Ok();
    }
    if (GetTickCount() - started > kWriteTimeLimitMs) break;
    Sleep(0);
  }
  return MakeError(Errc::Io, "the text could not be put on the clipboard");
}

bool ClearClipboard() {
  ClipboardSession clipboard;
  return clipboard.open() && EmptyClipboard() != FALSE;
}

bool ClipboardHasText() {
  return IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT) ||
         IsClipboardFormatAvailable(CF_OEMTEXT);
}

}  // namespace qvx::win32ui

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

constexpr DWORD kWriteTimeLimitMs = 3000;
constexpr DWORD kPauseAfterWriteMs = 10;
// The pause between two tries to open a clipboard someone else holds.
constexpr DWORD kRetryPauseMs = 5;

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
  // Gives the block up to the caller.
  HGLOBAL Release() {
    HGLOBAL handle = handle_;
    handle_ = nullptr;
    return handle;
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

bool WriteOnce(const ClipboardTextForms& forms) {
  ClipboardSession clipboard(0);
  if (!clipboard.open()) return false;
  if (!EmptyClipboard()) return false;
  bool all = true;
  for (UINT format : {static_cast<UINT>(CF_LOCALE), static_cast<UINT>(CF_UNICODETEXT),
                      static_cast<UINT>(CF_TEXT), static_cast<UINT>(CF_OEMTEXT)}) {
    HANDLE block = forms.Block(format);
    if (block == nullptr || SetClipboardData(format, block) == nullptr) {
      if (block != nullptr) GlobalFree(block);
      all = false;
    }
  }
  return AddPrivateMarkers() && all;
}

}  // namespace

ClipboardSession::ClipboardSession(DWORD patience_ms, HWND owner) {
  const DWORD started = GetTickCount();
  for (;;) {
    open_ = OpenClipboard(owner) != FALSE;
    if (open_ || GetTickCount() - started >= patience_ms) return;
    Sleep(kRetryPauseMs);
  }
}

ClipboardSession::~ClipboardSession() {
  if (open_) CloseClipboard();
}

Result<AnsiText> ReadClipboardText(DWORD patience_ms) {
  const DWORD started = GetTickCount();
  const auto patience_left = [&] {
    const DWORD spent = GetTickCount() - started;
    return spent < patience_ms ? patience_ms - spent : 0;
  };
  for (;;) {
    {
      ClipboardSession clipboard(patience_left());
      if (!clipboard.open()) return MakeError(Errc::Io, "the clipboard could not be opened");
      // Nothing will come when the clipboard holds no text at all.
      if (!ClipboardHasText()) return MakeError(Errc::NotFound, "the clipboard holds no text");
      // A program that offers its text late (delayed rendering) may not give
      // it at the first request.
      if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
        if (text == nullptr) return MakeError(Errc::Io, "the clipboard text could not be read");
        // The block need not end in a NUL: never read past its size.
        const std::size_t length = wcsnlen(text, GlobalSize(data) / sizeof(wchar_t));
        AnsiText ansi = WideToAnsi(text, length);
        GlobalUnlock(data);
        return ansi;
      }
    }
    if (patience_left() == 0) return MakeError(Errc::Io, "the clipboard text could not be read");
    Sleep(kRetryPauseMs);
  }
}

ClipboardTextForms::ClipboardTextForms(std::string_view text)
    : unicode_([&] {
        SecureWide w = AnsiToWide(text);
        w.push_back(L'\0');
        return w;
      }()),
      ansi_(WithNul(SecureString(text))),
      oem_(WithNul(WideToAnsi(unicode_.data(), unicode_.size() - 1, CP_OEMCP).text)),
      locale_(GetUserDefaultLangID()) {}

HANDLE ClipboardTextForms::Block(UINT format) const {
  const void* data = nullptr;
  std::size_t bytes = 0;
  switch (format) {
    case CF_UNICODETEXT: data = unicode_.data(); bytes = unicode_.size() * sizeof(wchar_t); break;
    case CF_TEXT: data = ansi_.data(); bytes = ansi_.size(); break;
    case CF_OEMTEXT: data = oem_.data(); bytes = oem_.size(); break;
    case CF_LOCALE: data = &locale_; bytes = sizeof locale_; break;
    default: return nullptr;
  }
  GlobalBlock block(bytes);
  if (!block || !block.Fill(data, bytes)) return nullptr;
  return block.Release();
}

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
  const ClipboardTextForms forms(text);
  const DWORD started = GetTickCount();
  for (;;) {
    if (WriteOnce(forms)) {
      if (sequence != nullptr) *sequence = GetClipboardSequenceNumber();
      // Give clipboard viewers a moment before the text is pasted.
      Sleep(kPauseAfterWriteMs);
      return Ok();
    }
    if (GetTickCount() - started > kWriteTimeLimitMs) break;
    Sleep(kRetryPauseMs);
  }
  return MakeError(Errc::Io, "the text could not be put on the clipboard");
}

bool ClearClipboard(DWORD patience_ms) {
  ClipboardSession clipboard(patience_ms);
  return clipboard.open() && EmptyClipboard() != FALSE;
}

bool ClipboardHasText() {
  return IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT) ||
         IsClipboardFormatAvailable(CF_OEMTEXT);
}

}  // namespace qvx::win32ui

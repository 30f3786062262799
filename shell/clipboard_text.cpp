// Clipboard text in and out.
#include "shell/clipboard_text.h"

#include <cstring>
#include <cwchar>

#include "shell/ansi_text.h"

namespace qvx::shell {

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

bool WriteOnce(const SecureWide& unicode, const SecureString& ansi, const SecureString& oem,
               DWORD locale) {
  GlobalBlock localeBlock(sizeof locale);
  GlobalBlock unicodeBlock(unicode.size() * sizeof(wchar_t));
  GlobalBlock ansiBlock(ansi.size());
  GlobalBlock oemBlock(oem.size());
  if (!localeBlock || !unicodeBlock || !ansiBlock || !oemBlock) return false;
  if (!localeBlock.Fill(&locale, sizeof locale) ||
      !unicodeBlock.Fill(unicode.data(), unicode.size() * sizeof(wchar_t)) ||
      !ansiBlock.Fill(ansi.data(), ansi.size()) || !oemBlock.Fill(oem.data(), oem.size())) {
    return false;
  }
  ClipboardSession clipboard(1);
  if (!clipboard.open()) return false;
  if (!EmptyClipboard()) return false;
  bool all = localeBlock.HandTo(CF_LOCALE);
  all = unicodeBlock.HandTo(CF_UNICODETEXT) && all;
  all = ansiBlock.HandTo(CF_TEXT) && all;
  all = oemBlock.HandTo(CF_OEMTEXT) && all;
  return all;
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

Result<CapturedText> ReadClipboardText() {
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
    return CapturedText{std::move(ansi.text), ansi.lossy};
  }
  return MakeError(Errc::NotFound, "the clipboard holds no text");
}

Status WriteClipboardText(std::string_view text) {
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

}  // namespace qvx::shell

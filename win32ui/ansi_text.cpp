// UTF-16 <-> ANSI code page conversions.
#include "win32ui/ansi_text.h"

#include <climits>

namespace qvx::win32ui {

namespace {

// UTF-7 and UTF-8 hold every character and refuse the default-character
// arguments of WideCharToMultiByte.
bool IsUnicodeCodePage(UINT codePage) {
  if (codePage == CP_ACP) codePage = GetACP();
  if (codePage == CP_OEMCP) codePage = GetOEMCP();
  return codePage == CP_UTF7 || codePage == CP_UTF8;
}

}  // namespace

AnsiText WideToAnsi(const wchar_t* text, std::size_t length, UINT codePage) {
  AnsiText out;
  if (length == 0 || length > INT_MAX) return out;
  const int n = static_cast<int>(length);
  const bool unicode = IsUnicodeCodePage(codePage);
  const DWORD flags = unicode ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = unicode ? nullptr : &usedDefault;
  // First the size: a double-byte code page may need two bytes per character.
  const int bytes = WideCharToMultiByte(codePage, flags, text, n, nullptr, 0, nullptr, usedDefaultOut);
  if (bytes <= 0) return out;
  out.text.resize(static_cast<std::size_t>(bytes));
  usedDefault = FALSE;
  const int written = WideCharToMultiByte(codePage, flags, text, n, out.text.data(), bytes, nullptr,
                                          usedDefaultOut);
  out.text.resize(static_cast<std::size_t>(written > 0 ? written : 0));
  out.lossy = usedDefault != FALSE;
  return out;
}

SecureWide AnsiToWide(std::string_view text, UINT codePage) {
  SecureWide out;
  if (text.empty() || text.size() > INT_MAX) return out;
  const int n = static_cast<int>(text.size());
  const int chars = MultiByteToWideChar(codePage, 0, text.data(), n, nullptr, 0);
  if (chars <= 0) return out;
  out.resize(static_cast<std::size_t>(chars));
  const int written = MultiByteToWideChar(codePage, 0, text.data(), n, out.data(), chars);
  out.resize(static_cast<std::size_t>(written > 0 ? written : 0));
  return out;
}

}  // namespace qvx::win32ui

// UTF-16 <-> ANSI code page conversions.
#include "win32ui/ansi_text.h"

#include <climits>

namespace qvx::win32ui {

namespace {

// UTF-7 and UTF-8 hold every character and refuse the default-character
// arguments of WideCharToMultiByte.
bool IsUnicodeCodePage(UINT code_page) {
  if (code_page == CP_ACP) code_page = GetACP();
  if (code_page == CP_OEMCP) code_page = GetOEMCP();
  return code_page == CP_UTF7 || code_page == CP_UTF8;
}

}  // namespace

AnsiText WideToAnsi(const wchar_t* text, std::size_t length, UINT code_page) {
  AnsiText out;
  if (length == 0 || length > INT_MAX) return out;
  const int n = static_cast<int>(length);
  const bool unicode = IsUnicodeCodePage(code_page);
  const DWORD flags = unicode ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* used_default_out = unicode ? nullptr : &used_default;
  // First the size: a double-byte code page may need two bytes per character.
  const int bytes = WideCharToMultiByte(code_page, flags, text, n, nullptr, 0, nullptr, used_default_out);
  if (bytes <= 0) return out;
  out.text.resize(static_cast<std::size_t>(bytes));
  used_default = FALSE;
  const int written = WideCharToMultiByte(code_page, flags, text, n, out.text.data(), bytes, nullptr,
                                          used_default_out);
  out.text.resize(static_cast<std::size_t>(written > 0 ? written : 0));
  out.lossy = used_default != FALSE;
  return out;
}

SecureWide AnsiToWide(std::string_view text, UINT code_page) {
  SecureWide out;
  if (text.empty() || text.size() > INT_MAX) return out;
  const int n = static_cast<int>(text.size());
  const int chars = MultiByteToWideChar(code_page, 0, text.data(), n, nullptr, 0);
  if (chars <= 0) return out;
  out.resize(static_cast<std::size_t>(chars));
  const int written = MultiByteToWideChar(code_page, 0, text.data(), n, out.data(), chars);
  out.resize(static_cast<std::size_t>(written > 0 ? written : 0));
  return out;
}

}  // namespace qvx::win32ui

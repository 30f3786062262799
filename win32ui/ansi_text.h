// Conversions between the UTF-16 text of the clipboard and windows and the
// ANSI code page text the program works on. Sized from the text itself, so
// double-byte code pages fit, and honest about loss: a character the code page
// cannot hold is reported, not silently turned into "?".
#pragma once

#include <windows.h>

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/secure.h"

namespace qvx::win32ui {

// UTF-16 text in memory that is wiped before release.
using SecureWide = std::vector<wchar_t, WipingAllocator<wchar_t>>;

struct AnsiText {
  SecureString text;
  // Some characters had no exact form in the code page and became its
  // default character ("?"); best-fit look-alikes are not used.
  bool lossy = false;
};

// UTF-16 to the code page (CP_ACP: the system's ANSI code page). The result
// has no terminating NUL; an empty or unconvertible text gives an empty one.
AnsiText WideToAnsi(const wchar_t* text, std::size_t length, UINT code_page = CP_ACP);

// Code page text to UTF-16, without a terminating NUL.
SecureWide AnsiToWide(std::string_view text, UINT code_page = CP_ACP);

}  // namespace qvx::win32ui

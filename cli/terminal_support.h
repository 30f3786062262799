// Text from files and key stores on the terminal. Owner names, notes, file
// names and signed texts come from other people; shown raw, an escape
// sequence in them could move the cursor, rewrite lines already printed (a
// "Key owner:" line, a warning) or change the terminal's settings.
#pragma once

#include <string>
#include <string_view>

#include "platform/secure.h"

namespace qvx::cli {

// The text with every byte that a terminal could act on written as "\xNN"
// (two lower-case hex digits): C0 controls (ESC among them) except tab, line
// feed and a CR right before a line feed; DEL; the C1 controls U+0080..U+009F
// as UTF-8 (each of their two bytes); and bytes 0x80..0x9F that are not part
// of a valid UTF-8 sequence (which 8-bit terminals take as C1 controls).
// Everything else passes unchanged, valid UTF-8 and the letters of 8-bit code
// pages alike. Backslashes are not doubled: this is for reading, not parsing.
std::string TerminalSafe(std::string_view text);
// The same appended to wiped memory, for texts that hold secrets.
void AppendTerminalSafe(SecureString& out, std::string_view text);

}  // namespace qvx::cli

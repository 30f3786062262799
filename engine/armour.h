// Finding armoured blocks (crypto-text, signature, public key) in a text the
// way mail programs and chat windows leave them: quoted ("> ", ">", "> > "),
// indented, re-wrapped, with LF or CR alone for CR LF, with blanks, tabs or
// non-breaking spaces (0xA0) added. Writing never goes through here: blocks are
// always written exactly in their format.
//
// Lines end at CR LF, at a lone LF or at a lone CR (a text's end closes its
// last line). A marker line is a whole line made of
//   a prefix of '>', blanks, tabs and 0xA0 (any mix, possibly empty),
//   the marker text exactly (case and inner blanks included),
//   optional trailing blanks, tabs and 0xA0;
// a marker standing anywhere else in a line is not recognised. The body is the
// lines between the start line and the first end line after it: each line may
// begin with such a prefix, blanks, tabs and 0xA0 anywhere are dropped, every
// other character must be Base64 ("A-Za-z0-9+/" and "="). The characters kept
// are then decoded and checked by the format that owns the block, which is
// what keeps damaged or foreign text from being accepted.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qvx {

// One block kind: its marker texts as they stand on their own lines.
struct ArmourMarkers {
  std::string_view start;  // e.g. "--- Start Of QVX Crypto-Text ---"
  std::string_view end;
};

// A marker line: [line_begin, marker) is its prefix, [marker, content_end) the
// marker and trailing blanks; the line break (if any) follows content_end.
struct MarkerLine {
  std::size_t line_begin = 0;
  std::size_t marker = 0;
  std::size_t content_end = 0;
};

// Where one complete block lies in a text (offsets into the text).
struct ArmourSpan {
  // What the block takes: one line break just before its start line (LF, then
  // CR, never before the position the scan started from), the start line with
  // its prefix, the body, the end line with its prefix and trailing blanks, and
  // one line break after it (CR LF, CR or LF).
  std::size_t start = 0;
  std::size_t end = 0;
  // The body as found: from just after the start line's line break up to the
  // line breaks and blanks that precede the end line. For a block as written,
  // RemoveLineBreaks of this range gives the unwrapped body.
  std::size_t body_begin = 0;
  std::size_t body_end = 0;
  MarkerLine start_line;
  MarkerLine end_line;

  // The start line's prefix (quote characters and indentation).
  std::string_view Prefix(std::string_view text) const {
    return text.substr(start_line.line_begin, start_line.marker - start_line.line_begin);
  }
};

// The quote prefix and blank characters.
constexpr bool IsArmourBlank(char c) { return c == ' ' || c == '\t' || c == '\xA0'; }
constexpr bool IsArmourPrefixChar(char c) { return c == '>' || IsArmourBlank(c); }

// The first marker line at or after `from` (`from` counts as a line start).
std::optional<MarkerLine> FindMarkerLine(std::string_view text, std::string_view marker,
                                         std::size_t from = 0);

// The first start line at or after `from` and the first end line after it.
// Empty when there is no start line, or no end line follows the first one.
std::optional<ArmourSpan> FindArmour(std::string_view text, const ArmourMarkers& markers,
                                     std::size_t from = 0);

// The body's Base64 characters: line breaks, quote prefixes at line starts and
// blanks, tabs and 0xA0 anywhere are dropped. Empty when a body line holds any
// other character (text that is not part of an armoured body).
std::optional<std::string> CollectArmourBody(std::string_view text, const ArmourSpan& span);

// Length of the line break at `at` (2 for CR LF, 1 for a lone CR or LF, 0 for
// none or the end of the text).
std::size_t LineBreakSize(std::string_view text, std::size_t at);

}  // namespace qvx

// Escaping text for the terminal.
#include "cli/terminal_support.h"

#include <cstddef>
#include <cstdint>

namespace qvx::cli {

namespace {

bool IsContinuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at text[at] (2 to 4), or 0 when
// none starts there (ASCII, a stray continuation byte, an overlong form, a
// surrogate or a code point beyond U+10FFFF).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - at < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(byte(i))) return 0;
  }
  return length;
}

void AppendEscaped(std::string& out, std::uint8_t b) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[b >> 4];
  out += kHex[b & 15];
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    if (b < 0x80) {
      const bool kept = b == '\t' || b == '\n' || (b == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ||
                        (b >= 0x20 && b != 0x7F);
      if (kept) {
        out += static_cast<char>(b);
      } else {
        AppendEscaped(out, b);
      }
      ++i;
      continue;
    }
    if (const std::size_t length = Utf8SequenceAt(text, i); length != 0) {
      // U+0080..U+009F are C2 80..C2 9F.
      const bool c1 = length == 2 && b == 0xC2 && static_cast<std::uint8_t>(text[i + 1]) <= 0x9F;
      for (std::size_t k = 0; k < length; ++k) {
        if (c1) {
          AppendEscaped(out, static_cast<std::uint8_t>(text[i + k]));
        } else {
          out += text[i + k];
        }
      }
      i += length;
      continue;
    }
    if (b <= 0x9F) {
      AppendEscaped(out, b);
    } else {
      out += static_cast<char>(b);
    }
    ++i;
  }
  return out;
}

}  // namespace qvx::cli

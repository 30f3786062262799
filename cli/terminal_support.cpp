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

// Hands `put` the text piece by piece, escaped.
template <class Put>
void Escape(std::string_view text, Put put) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto escaped = [&](std::uint8_t b) {
    const char code[4] = {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
    put(std::string_view(code, 4));
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    if (b < 0x80) {
      const bool kept = b == '\t' || b == '\n' || (b == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ||
                        (b >= 0x20 && b != 0x7F);
      if (kept) {
        put(text.substr(i, 1));
      } else {
        escaped(b);
      }
      ++i;
      continue;
    }
    if (const std::size_t length = Utf8SequenceAt(text, i); length != 0) {
      // U+0080..U+009F are C2 80..C2 9F.
      const bool c1 = length == 2 && b == 0xC2 && static_cast<std::uint8_t>(text[i + 1]) <= 0x9F;
      if (c1) {
        escaped(b);
        escaped(static_cast<std::uint8_t>(text[i + 1]));
      } else {
        put(text.substr(i, length));
      }
      i += length;
      continue;
    }
    if (b <= 0x9F) {
      escaped(b);
    } else {
      put(text.substr(i, 1));
    }
    ++i;
  }
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  Escape(text, [&](std::string_view piece) { out.append(piece); });
  return out;
}

void AppendTerminalSafe(SecureString& out, std::string_view text) {
  Escape(text, [&](std::string_view piece) { out.append(piece); });
}

}  // namespace qvx::cli

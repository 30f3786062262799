// Base64 (RFC 4648 alphabet, "=" padding, no line breaks) and the text helpers
// of the armoured formats: 40-character line wrapping, its inverse, and the
// marker search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

// 4 * ceil(size / 3) characters.
std::string Base64Encode(const void* data, std::size_t size);
// The same characters appended to out (for building large armour in place).
void Base64EncodeAppend(std::string& out, const void* data, std::size_t size);
inline std::string Base64Encode(const std::vector<std::uint8_t>& data) {
  return Base64Encode(data.data(), data.size());
}

struct Base64Decoded {
  std::vector<std::uint8_t> bytes;
  std::size_t consumed = 0;  // characters read, padding included
};

// Strict decoder over groups of four characters. It stops after a group that
// ends in "=" or at the end of the text, so a padded field decodes on its own
// even when more text follows it. Any character outside the alphabet inside a
// group (CR, LF, blanks, bytes of 128 or more), a group cut short by the end of
// the text, and "=" anywhere but the last one or two places of a group make it
// fail. An empty text decodes to no bytes.
std::optional<Base64Decoded> Base64DecodePrefix(std::string_view text);

// Decodes the whole text; fails when anything follows the padding.
std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text);

// The armour's line layout: a CR LF before the characters at positions 0, 40,
// 80, ... and one more at the end when the length is a multiple of 40. A CR LF
// already in the text is written doubled and does not count towards the 40, so
// RemoveLineBreaks restores any text.
std::string WrapBase64Lines(std::string_view text);
// The same lines appended to out.
void WrapBase64LinesAppend(std::string& out, std::string_view text);

// Removes one CR LF pair wherever one occurs (from CR LF CR LF only the first
// pair goes); every other character is kept.
std::string RemoveLineBreaks(std::string_view text);

// Position just past the first occurrence of marker in text at or after from,
// or npos.
std::size_t FindAfter(std::string_view text, std::string_view marker, std::size_t from = 0);

}  // namespace qvx

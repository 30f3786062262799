// The identity of a key pair (KeyId), its 38-character text form used in key
// file names, and the rule for owner names that become part of a file name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx {

// 52 bytes, stored as is in key files, crypto-text envelopes, signatures and
// key-password associations:
//   0  16  id bytes (random at generation)
//  16   4  length of the owner name, little-endian
//  20  32  SHA-256 of the owner name's bytes
// Two keys are the same key when all 52 bytes agree.
struct KeyId {
  static constexpr std::size_t kSize = 52;
  static constexpr std::size_t kIdSize = 16;
  using IdBytes = std::array<std::uint8_t, kIdSize>;

  std::array<std::uint8_t, kSize> bytes{};

  static KeyId Make(const IdBytes& id, std::string_view owner);
  static KeyId FromBytes(const std::uint8_t* data);  // reads kSize bytes

  IdBytes Id() const;
  std::uint32_t OwnerLength() const;
  const std::uint8_t* OwnerDigest() const { return bytes.data() + 20; }
  // True when the owner name has the length and digest recorded in the id.
  bool MatchesOwner(std::string_view owner) const;
  // The 38-character text form of the id bytes.
  std::string Text() const;

  friend bool operator==(const KeyId& a, const KeyId& b) { return a.bytes == b.bytes; }
  friend bool operator!=(const KeyId& a, const KeyId& b) { return !(a == b); }
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": the id bytes read as eight 16-bit
// little-endian words w0..w7, printed as upper-case hex in that order. So the
// first eight digits are w0 then w1, not the first 32-bit word as one number.
constexpr std::size_t kKeyIdTextSize = 38;
std::string FormatKeyIdText(const KeyId::IdBytes& id);

// Inverse of FormatKeyIdText; accepts either letter case. nullopt when the text
// does not have the exact form.
std::optional<KeyId::IdBytes> ParseKeyIdText(std::string_view text);

// Owner names become part of key file names ("<owner>-pub{...}.qvx"), so they
// must be 1 to 79 single-byte characters that are valid in a file name on
// Windows: no control characters, none of < > : " / \ | ? *, and no "..".
constexpr std::size_t kMaxOwnerLength = 79;
constexpr std::size_t kMaxNoteLength = 127;
bool IsValidOwnerName(std::string_view owner);

}  // namespace qvx

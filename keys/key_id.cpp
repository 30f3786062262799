// Key identity, its text form and owner name rules.
#include "keys/key_id.h"

#include <cstdio>
#include <cstring>

#include "engine/sha256.h"
#include "keys/byte_io.h"

namespace qvx {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Where each of the eight words sits in the text, and how many of them are
// printed together before a hyphen or the closing brace.
constexpr std::size_t kWordOffsets[8] = {1, 5, 10, 15, 20, 25, 29, 33};

}  // namespace

KeyId KeyId::Make(const IdBytes& id, std::string_view owner) {
  KeyId out;
  std::memcpy(out.bytes.data(), id.data(), kIdSize);
  PutU32(out.bytes.data() + 16, static_cast<std::uint32_t>(owner.size()));
  const auto digest = Sha256Of(owner);
  std::memcpy(out.bytes.data() + 20, digest.data(), digest.size());
  return out;
}

KeyId KeyId::FromBytes(const std::uint8_t* data) {
  KeyId out;
  std::memcpy(out.bytes.data(), data, kSize);
  return out;
}

KeyId::IdBytes KeyId::Id() const {
  IdBytes id;
  std::memcpy(id.data(), bytes.data(), kIdSize);
  return id;
}

std::uint32_t KeyId::OwnerLength() const { return GetU32(bytes.data() + 16); }

bool KeyId::MatchesOwner(std::string_view owner) const {
  if (owner.size() != OwnerLength()) return false;
  const auto digest = Sha256Of(owner);
  return std::memcmp(digest.data(), OwnerDigest(), digest.size()) == 0;
}

std::string KeyId::Text() const { return FormatKeyIdText(Id()); }

std::string FormatKeyIdText(const KeyId::IdBytes& id) {
  unsigned w[8];
  for (int i = 0; i < 8; ++i) w[i] = id[2 * i] | (static_cast<unsigned>(id[2 * i + 1]) << 8);
  char text[kKeyIdTextSize + 1];
  std::snprintf(text, sizeof text, "{%04X%04X-%04X-%04X-%04X-%04X%04X%04X}", w[0], w[1], w[2],
                w[3], w[4], w[5], w[6], w[7]);
  return std::string(text, kKeyIdTextSize);
}

std::optional<KeyId::IdBytes> ParseKeyIdText(std::string_view text) {
  static const char kPattern[] = "{00000000-0000-0000-0000-000000000000}";
  if (text.size() != kKeyIdTextSize) return std::nullopt;
  for (std::size_t i = 0; i < kKeyIdTextSize; ++i) {
    if (kPattern[i] == '0' ? HexValue(text[i]) < 0 : text[i] != kPattern[i]) return std::nullopt;
  }
  KeyId::IdBytes id{};
  for (int word = 0; word < 8; ++word) {
    unsigned v = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      v = v << 4 | static_cast<unsigned>(HexValue(text[kWordOffsets[word] + k]));
    }
    id[2 * word] = static_cast<std::uint8_t>(v);
    id[2 * word + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  return id;
}

bool IsValidOwnerName(std::string_view owner) {
  if (owner.empty() || owner.size() > kMaxOwnerLength) return false;
  if (owner.find("..") != std::string_view::npos) return false;
  for (char c : owner) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127 || std::strchr("<>:\"/\\|?*", c) != nullptr) return false;
  }
  return true;
}

}  // namespace qvx

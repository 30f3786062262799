// Armour, header fields and block search of the crypto-text block.
#include "engine/cryptotext_block.h"

#include <cstdio>

#include "engine/base64.h"

namespace qvx {

namespace {

// "%0*X" of value, Base64-encoded on its own.
void AppendHexField(std::string& out, std::uint32_t value, int digits) {
  char text[9];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  Base64EncodeAppend(out, text, static_cast<std::size_t>(digits));
}

int HexDigit(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A field of `chars` Base64 characters holding exactly `digits` hex digits.
std::optional<std::uint32_t> ReadHexField(std::string_view field, std::size_t digits) {
  auto decoded = Base64Decode(field);
  if (!decoded || decoded->size() != digits) return std::nullopt;
  std::uint32_t value = 0;
  for (std::uint8_t c : *decoded) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  return value;
}

}  // namespace

std::string FormatBody(std::uint32_t payload_checksum, EnvelopeMode mode,
                       const std::uint8_t* envelope, std::size_t envelope_size) {
  std::string body;
  body.reserve(kPasswordEnvelopeOffset + (envelope_size + 2) / 3 * 4);
  AppendHexField(body, payload_checksum, 8);
  AppendHexField(body, static_cast<std::uint32_t>(mode), 4);
  if (mode == EnvelopeMode::Password) AppendHexField(body, kPasswordKeyLength, 4);
  Base64EncodeAppend(body, envelope, envelope_size);
  return body;
}

std::string ArmourBody(std::string_view body) {
  std::string block;
  // Two characters of line break per 40 of body, and one more line at most.
  block.reserve(kCryptoStartWritten.size() + body.size() + body.size() / 20 + 4 + kCryptoEndWritten.size());
  block += kCryptoStartWritten;
  WrapBase64LinesAppend(block, body);
  block += kCryptoEndWritten;
  return block;
}

Result<ParsedBody> ParseBody(std::string_view body) {
  if (body.size() < kRsaEnvelopeOffset) {
    return MakeError(Errc::Corrupted, "the block is too short for its header");
  }
  ParsedBody parsed;
  parsed.payload_checksum = ReadHexField(body.substr(0, kChecksumFieldChars), 8);
  const auto mode = ReadHexField(body.substr(kChecksumFieldChars, kModeFieldChars), 4);
  if (!mode) return MakeError(Errc::Corrupted, "the mode field of the block is unreadable");
  parsed.mode = (*mode & 1) != 0 ? EnvelopeMode::Rsa : EnvelopeMode::Password;
  std::size_t offset = kRsaEnvelopeOffset;
  if (parsed.mode == EnvelopeMode::Password) {
    if (body.size() < kPasswordEnvelopeOffset) {
      return MakeError(Errc::Corrupted, "the block is too short for its header");
    }
    offset = kPasswordEnvelopeOffset;
  }
  auto envelope = Base64DecodePrefix(body.substr(offset));
  if (!envelope) return MakeError(Errc::Corrupted, "the block is not valid Base64");
  parsed.envelope = std::move(envelope->bytes);
  return parsed;
}

namespace {

// The format of the first start line at or after `from`, if any.
std::optional<CryptoFormat> FirstStartFormat(std::string_view text, std::size_t from) {
  const auto compatible = FindMarkerLine(text, kCryptoMarkers.start, from);
  const auto hardened = FindMarkerLine(text, kHardenedMarkers.start, from);
  if (!compatible && !hardened) return std::nullopt;
  if (compatible && (!hardened || compatible->marker < hardened->marker)) return CryptoFormat::Compatible;
  return CryptoFormat::Hardened;
}

const ArmourMarkers& MarkersOf(CryptoFormat format) {
  return format == CryptoFormat::Hardened ? kHardenedMarkers : kCryptoMarkers;
}

}  // namespace

bool ContainsCryptoText(std::string_view text) { return FirstStartFormat(text, 0).has_value(); }

bool FirstBlockHasEnd(std::string_view text) { return FindNextBlock(text, 0).has_value(); }

std::optional<BlockSpan> FindNextBlock(std::string_view text, std::size_t from) {
  const auto format = FirstStartFormat(text, from);
  if (!format) return std::nullopt;
  // The first start line of that format is the first start line of all.
  auto span = FindArmour(text, MarkersOf(*format), from);
  if (!span) return std::nullopt;
  BlockSpan block;
  static_cast<ArmourSpan&>(block) = *span;
  block.format = *format;
  return block;
}

std::optional<std::string> ReadBlockBody(std::string_view text, const BlockSpan& span) {
  return CollectArmourBody(text, span);
}

}  // namespace qvx

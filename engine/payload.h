// The compressed payload that both envelopes carry (little-endian):
//   0   4      DataChecksum of the plaintext (its bytes, no terminator)
//   4   4      L, the payload's total length, these 8 bytes included
//   8   L - 8  PPMd stream (engine/ppmd) of the plaintext followed by one NUL
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/ppmd/ppmd.h"
#include "platform/result.h"
#include "platform/secure.h"

namespace qvx {

constexpr std::size_t kPayloadHeaderSize = 8;

// Little-endian 32-bit value at p.
std::uint32_t ReadLe32(const std::uint8_t* p);

// Compresses a text into a payload. Errors: Errc::OutOfMemory when the codec
// cannot get its model memory; Errc::InvalidArgument when the payload would not
// fit the 32-bit length field.
Result<SecureBytes> CompressPayload(std::string_view text);

// Decompresses a payload of exactly `size` bytes (the length field, already
// checked against the data by the caller) and checks the text against the
// checksum at its start. A text longer than max_text bytes is not decoded
// beyond that point. Errors: Errc::Corrupted when the stream does not decode,
// holds a text longer than max_text, does not end in the NUL, or the text does
// not match its checksum (the detail says which); Errc::OutOfMemory from the
// codec; Errc::Cancelled when progress (if given) stopped the decode.
Result<SecureString> DecompressPayload(const std::uint8_t* payload, std::size_t size, std::size_t max_text,
                                       ppmd::DecodeProgress* progress = nullptr);

}  // namespace qvx

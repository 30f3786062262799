// Compressed payload: checksum and length header around the PPMd stream.
#include "engine/payload.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "engine/checksum.h"
#include "engine/ppmd/ppmd.h"

namespace qvx {

namespace {

void WriteLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

Result<SecureBytes> CompressPayload(std::string_view text) {
  // The codec takes the text with its terminating NUL.
  SecureBytes input(text.size() + 1, 0);
  std::copy(text.begin(), text.end(), input.begin());
  SecureBytes payload(kPayloadHeaderSize, 0);
  payload.reserve(kPayloadHeaderSize + text.size() / 2 + 64);
  WriteLe32(payload.data(), DataChecksum(text));
  if (auto status = ppmd::CompressAppend(input.data(), input.size(), payload); !status) {
    return status.error();
  }
  // The envelope pads past L by up to 32 bytes; all of it must stay 32-bit.
  if (payload.size() > std::numeric_limits<std::uint32_t>::max() - 32) {
    return MakeError(Errc::InvalidArgument, "the text is too large for one block");
  }
  WriteLe32(payload.data() + 4, static_cast<std::uint32_t>(payload.size()));
  return payload;
}

Result<SecureString> DecompressPayload(const std::uint8_t* payload, std::size_t size, std::size_t max_text,
                                       ppmd::DecodeProgress* progress) {
  if (size < kPayloadHeaderSize) return MakeError(Errc::Corrupted, "the payload is too short");
  // The stream holds the text and its NUL.
  const std::size_t max_stream_output = max_text < SIZE_MAX ? max_text + 1 : max_text;
  auto decoded = ppmd::Decompress(payload + kPayloadHeaderSize, size - kPayloadHeaderSize,
                                  ppmd::OutputLimit{max_stream_output}, ppmd::HeapModelAllocator(), progress);
  if (!decoded) {
    if (decoded.code() == Errc::OutOfMemory || decoded.code() == Errc::Cancelled) return decoded.error();
    if (decoded.error().detail == ppmd::kOverLimitDetail) {
      return MakeError(Errc::Corrupted, "the text is longer than " + std::to_string(max_text) +
                                            " bytes, the limit for decrypted text");
    }
    return MakeError(Errc::Corrupted, "the compressed text does not decode");
  }
  SecureBytes& bytes = *decoded;
  if (bytes.empty() || bytes.back() != 0) {
    return MakeError(Errc::Corrupted, "the compressed text does not end where it should");
  }
  bytes.pop_back();  // the terminating NUL
  if (DataChecksum(bytes.data(), bytes.size()) != ReadLe32(payload)) {
    return MakeError(Errc::Corrupted, "the text does not match its checksum");
  }
  return SecureString(std::move(bytes));
}

}  // namespace qvx

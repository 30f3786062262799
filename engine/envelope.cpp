// Padding and the progress-aware block loop shared by both envelopes.
#include "engine/envelope.h"

#include <cstring>
#include <memory>

namespace qvx {

SecureBytes PadPayload(const std::uint8_t* payload, std::size_t size) {
  SecureBytes padded(EnvelopeSize(size), 0);
  if (size > 0) std::memcpy(padded.data(), payload, size);
  return padded;
}

Status CipherBlocks(const Rijndael256& cipher, CipherDirection direction, std::uint8_t* data,
                    std::size_t blocks, ProgressUi* progress) {
  std::unique_ptr<ProgressScope> scope;
  if (progress != nullptr && blocks > kProgressBlockThreshold) scope = progress->StartProgress();
  unsigned shown = 101;  // nothing shown yet
  for (std::size_t i = 0; i < blocks; ++i) {
    std::uint8_t* block = data + i * Rijndael256::kBlockSize;
    if (direction == CipherDirection::Encrypt) {
      cipher.EncryptBlock(block, block);
    } else {
      cipher.DecryptBlock(block, block);
    }
    if (!scope) continue;
    if (scope->CancelRequested()) return MakeError(Errc::Cancelled, "cancelled");
    const auto percent = static_cast<unsigned>(std::uint64_t{100} * i / blocks);
    if (percent != shown) {  // the display only moves when the figure changes
      scope->SetPercent(percent);
      shown = percent;
    }
  }
  return Ok();
}

Result<std::vector<std::uint8_t>> SealPasswordEnvelope(const Key256& key, const std::uint8_t* payload,
                                                       std::size_t size, ProgressUi* progress) {
  // Enciphered in place: once every block is done nothing of the payload is
  // left, and a cancelled run wipes what it had not reached.
  std::vector<std::uint8_t> sealed(EnvelopeSize(size), 0);
  if (size > 0) std::memcpy(sealed.data(), payload, size);
  const Rijndael256 cipher(key);
  if (auto status = CipherBlocks(cipher, CipherDirection::Encrypt, sealed.data(), EnvelopeBlocks(size),
                                 progress);
      !status) {
    SecureWipe(sealed.data(), sealed.size());
    return status.error();
  }
  return sealed;
}

Result<SecureBytes> OpenPasswordEnvelope(const Key256& key, const std::uint8_t* envelope,
                                              std::size_t size, ProgressUi* progress) {
  const std::size_t blocks = size / Rijndael256::kBlockSize;
  SecureBytes plain(envelope, envelope + blocks * Rijndael256::kBlockSize);
  const Rijndael256 cipher(key);
  if (auto status = CipherBlocks(cipher, CipherDirection::Decrypt, plain.data(), blocks, progress);
      !status) {
    return status.error();
  }
  return plain;
}

}  // namespace qvx

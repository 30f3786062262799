// What the password envelope and the RSA envelope share: the zero-padded size
// of an enciphered payload and the block-by-block cipher loop that shows
// progress and honours Cancel for long texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/rijndael.h"
#include "platform/result.h"
#include "platform/secure.h"
#include "platform/ui.h"

namespace qvx {

// Envelopes of more blocks than this show a progress display with Cancel.
constexpr std::size_t kProgressBlockThreshold = 100;

// A payload of `size` bytes is zero-padded to floor((size + 32) / 32) blocks of
// 32 bytes: there is always at least one byte of padding, and a payload whose
// length is a multiple of 32 gains a whole block of zeros.
constexpr std::size_t EnvelopeBlocks(std::size_t size) { return size / 32 + 1; }
constexpr std::size_t EnvelopeSize(std::size_t size) { return EnvelopeBlocks(size) * 32; }

// The payload copied into a zero-filled buffer of EnvelopeSize(size) bytes.
SecureBytes PadPayload(const std::uint8_t* payload, std::size_t size);

enum class CipherDirection { Encrypt, Decrypt };

// Enciphers or deciphers `blocks` 32-byte blocks of data in place, each block
// on its own (electronic-codebook use). With more than kProgressBlockThreshold
// blocks and a progress display given, the display is shown for the duration,
// set to floor(100 * i / blocks) after block i, and Cancel is checked after
// every block: a cancel gives Errc::Cancelled and leaves data partly processed,
// so the caller must throw it away. progress may be null (no display).
Status CipherBlocks(const Rijndael256& cipher, CipherDirection direction, std::uint8_t* data,
                    std::size_t blocks, ProgressUi* progress);

// Seals a payload into the password envelope: zero padding to
// EnvelopeBlocks(size) blocks, each enciphered under the key. Errc::Cancelled
// from the progress display.
Result<std::vector<std::uint8_t>> SealPasswordEnvelope(const Key256& key, const std::uint8_t* payload,
                                                       std::size_t size, ProgressUi* progress);

// Deciphers every whole 32-byte block of a password envelope (a partial
// trailing block is ignored). Errc::Cancelled from the progress display.
Result<SecureBytes> OpenPasswordEnvelope(const Key256& key, const std::uint8_t* envelope,
                                              std::size_t size, ProgressUi* progress);

}  // namespace qvx

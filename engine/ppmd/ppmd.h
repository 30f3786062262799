// PPMd variant I (revision 1) with the fixed parameters of the crypto-text
// payload: model order 4, 10 MiB of model memory, restart of the model when
// the memory runs out, the end of data coded as an escape through every
// context, Subbotin's carry-less range coder. Streams are bit-identical with
// every other implementation of the published variant under these parameters.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/result.h"
#include "platform/secure.h"

namespace qvx::ppmd {

constexpr unsigned kModelOrder = 4;
constexpr std::size_t kModelMemory = std::size_t{10} << 20;

// Appends the raw stream for `size` bytes of data (end mark included) to out,
// keeping what out already holds. Fails only when the model memory cannot be
// allocated (Errc::OutOfMemory).
Status CompressAppend(const std::uint8_t* data, std::size_t size, SecureBytes& out);

// Decodes a whole raw stream. Fails with Errc::Corrupted when the input ends
// before the end mark or anything follows it, and with Errc::OutOfMemory when
// memory runs out.
Result<SecureBytes> Decompress(const std::uint8_t* data, std::size_t size);

}  // namespace qvx::ppmd

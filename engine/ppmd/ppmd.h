// PPMd variant I (revision 1) with the fixed parameters of the crypto-text
// payload: model order 4, 10 MiB of model memory, restart of the model when
// the memory runs out, the end of data coded as an escape through every
// context, Subbotin's carry-less range coder. Streams are bit-identical with
// every other implementation of the published variant under these parameters.
//
// Each call codes one stream with a model of its own: nothing is shared
// between calls or threads. The model memory is wiped before it is released.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/result.h"
#include "platform/secure.h"

namespace qvx::ppmd {

constexpr unsigned kModelOrder = 4;
constexpr std::size_t kModelMemory = std::size_t{10} << 20;

// Where a call takes its model memory from. The default takes it from the
// heap; tests and callers that code many streams may supply their own.
class ModelAllocator {
 public:
  virtual ~ModelAllocator() = default;
  // A block of size bytes, or nullptr when there is none.
  virtual void* Allocate(std::size_t size) noexcept = 0;
  // Gives back a block from Allocate; the model has already wiped it.
  virtual void Release(void* block, std::size_t size) noexcept = 0;
};

// The heap (stateless).
ModelAllocator& HeapModelAllocator();

// Appends the raw stream for `size` bytes of data (end mark included) to out,
// keeping what out already holds; out grows by exactly the stream's size.
// Fails only when memory runs out (Errc::OutOfMemory), leaving out as it was.
Status CompressAppend(const std::uint8_t* data, std::size_t size, SecureBytes& out);
Status CompressAppend(const std::uint8_t* data, std::size_t size, SecureBytes& out,
                      ModelAllocator& allocator);

// The most bytes one stream may decode to. A stream of a few kilobytes can
// decode to gigabytes (a long run costs a few thousandths of a bit per byte),
// so decoding input from elsewhere always has a bound.
constexpr std::size_t kDefaultMaxOutput = std::size_t{64} << 20;

struct OutputLimit {
  std::size_t bytes = kDefaultMaxOutput;
};

// The detail of the Corrupted error for a stream that passes its limit.
inline constexpr char kOverLimitDetail[] = "the PPMd stream decodes to more bytes than its limit";

// Told how far a decode has come, about every MiB of output; it may stop it.
class DecodeProgress {
 public:
  virtual ~DecodeProgress() = default;
  // input_read bytes of the stream read and output_size bytes decoded so far.
  // False stops the decode with Errc::Cancelled.
  virtual bool Continue(std::size_t input_read, std::size_t output_size) = 0;
};

// Decodes a whole raw stream into a buffer of exactly the decoded size. Fails
// with Errc::Corrupted when the input ends before the end mark, anything
// follows it, the stream would decode to more than limit.bytes or is otherwise
// damaged, with Errc::OutOfMemory when memory runs out, and with
// Errc::Cancelled when progress (if given) said stop. Never reads
// outside [data, data + size); the output memory taken while decoding never
// exceeds the limit (and once more the decoded size to hand the result over).
Result<SecureBytes> Decompress(const std::uint8_t* data, std::size_t size, OutputLimit limit = {});
Result<SecureBytes> Decompress(const std::uint8_t* data, std::size_t size,
                               ModelAllocator& allocator);
Result<SecureBytes> Decompress(const std::uint8_t* data, std::size_t size, OutputLimit limit,
                               ModelAllocator& allocator, DecodeProgress* progress = nullptr);

}  // namespace qvx::ppmd

// libFuzzer target: the PPMd decoder on arbitrary bytes. Every input must end
// in a result (no crash, hang or read outside the input), failures must be
// Corrupted (or OutOfMemory), a text that decodes must stay within the output
// limit and come back through a compression round trip. The limit is small
// so that streams of long runs (see the corpus) cost milliseconds, not seconds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "engine/ppmd/ppmd.h"

namespace {

// One model block for all runs: a fresh 10 MiB per input would dominate the
// run time. Only this harness runs the codec, one call at a time.
class ReusedBlock final : public qvx::ppmd::ModelAllocator {
 public:
  void* Allocate(std::size_t size) noexcept override {
    if (block_ == nullptr) {
      block_ = new (std::nothrow) std::uint8_t[size];
      size_ = size;
    }
    return size == size_ ? block_ : nullptr;
  }
  void Release(void*, std::size_t) noexcept override {}

 private:
  std::uint8_t* block_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qvx;
  static ReusedBlock allocator;
  constexpr ppmd::OutputLimit kLimit{std::size_t{1} << 20};
  auto text = ppmd::Decompress(data, size, kLimit, allocator);
  if (!text) {
    if (text.code() != Errc::Corrupted && text.code() != Errc::OutOfMemory) std::abort();
    return 0;
  }
  if (text->size() > kLimit.bytes) std::abort();
  SecureBytes stream;
  if (!ppmd::CompressAppend(text->data(), text->size(), stream, allocator)) std::abort();
  auto again = ppmd::Decompress(stream.data(), stream.size(), allocator);
  if (!again || *again != *text) std::abort();
  return 0;
}

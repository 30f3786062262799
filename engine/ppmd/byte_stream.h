// Byte source and byte sink through which the PPMd coders read and write.
// Both hand out views of memory they own, so the coders copy nothing into
// buffers of their own (the data is secret: a compressed text is as sensitive
// as the text itself).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/secure.h"

namespace qvx::ppmd {

struct ByteView {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

struct ByteSpan {
  std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

// Input of a decoder.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The next piece of the input (never empty), valid until the following
  // call; an empty view once the input has ended.
  virtual ByteView Next() = 0;
};

// Output of a coder.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Room for at least one byte, valid until the next Commit. Throws
  // std::bad_alloc when no memory is left.
  virtual ByteSpan Space() = 0;
  // The first n bytes of the last Space() now hold output.
  virtual void Commit(std::size_t n) = 0;
};

// A source over one block of memory that the caller keeps alive.
class MemorySource final : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : rest_{data, size} {}
  ByteView Next() override {
    const ByteView piece = rest_;
    rest_ = {};
    return piece;
  }

 private:
  ByteView rest_;
};

// A sink that collects output in a list of wiped chunks, so that growing it
// never copies what it already holds. Chunks grow with the output (4 KiB up
// to 1 MiB); MoveAppendTo then hands the bytes over into an exactly sized
// buffer, releasing each chunk as soon as it has been copied.
class ChunkedBuffer final : public ByteSink {
 public:
  ChunkedBuffer() = default;
  // A buffer whose chunks together never hold more than max_size bytes; its
  // writer must not ask for Space once max_size bytes are committed.
  explicit ChunkedBuffer(std::size_t max_size) : max_size_(max_size) {}
  ChunkedBuffer(const ChunkedBuffer&) = delete;
  ChunkedBuffer& operator=(const ChunkedBuffer&) = delete;

  ByteSpan Space() override;
  void Commit(std::size_t n) override;

  // Bytes committed so far.
  std::size_t size() const { return size_; }
  // Bytes held in chunks, committed or not.
  std::size_t allocated() const { return allocated_; }

  // Appends everything to out and leaves this buffer empty. When out has to
  // grow, it grows to exactly its new size. Throws std::bad_alloc before
  // touching out when that memory is not available.
  void MoveAppendTo(SecureBytes& out);

 private:
  std::vector<SecureBytes> chunks_;
  std::size_t used_ = 0;  // committed bytes in the last chunk
  std::size_t size_ = 0;
  std::size_t allocated_ = 0;
  std::size_t max_size_ = SIZE_MAX;
};

}  // namespace qvx::ppmd

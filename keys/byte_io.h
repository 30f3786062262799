// Little-endian field access with bounds checks, for the binary key formats.
// The reader never moves past its buffer: every take is checked first and a
// failed one leaves the reader failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qvx {

inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Appends a little-endian 32-bit value to any byte container.
template <class Container>
void AppendU32(Container& out, std::uint32_t v) {
  std::uint8_t b[4];
  PutU32(b, v);
  out.insert(out.end(), b, b + 4);
}

template <class Container>
void AppendBytes(Container& out, const std::uint8_t* data, std::size_t size) {
  out.insert(out.end(), data, data + size);
}

class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size, std::size_t position = 0)
      : data_(data), size_(size), position_(position <= size ? position : size),
        failed_(position > size) {}

  bool failed() const { return failed_; }
  std::size_t position() const { return position_; }
  std::size_t remaining() const { return size_ - position_; }

  // A 32-bit field; 0 and failed when fewer than 4 bytes remain.
  std::uint32_t U32() {
    const std::uint8_t* p = Take(4);
    return p ? GetU32(p) : 0;
  }

  // Pointer to the next n bytes, or null (and failed) when they do not fit.
  const std::uint8_t* Take(std::size_t n) {
    if (failed_ || n > remaining()) {
      failed_ = true;
      return nullptr;
    }
    const std::uint8_t* p = data_ + position_;
    position_ += n;
    return p;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_;
  bool failed_;
};

}  // namespace qvx

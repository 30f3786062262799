// Subbotin's carry-less range coder as the PPMd streams use it: 32-bit low
// and range, bytes leave from the top of low whenever its top byte is settled
// (low and low + range agree above bit 24) or the range has fallen below 2^15,
// in which case the range is cut to the next 2^15 boundary of low. The encoder
// ends by writing the four bytes of low, most significant first; the decoder
// starts by reading four bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ppmd/byte_stream.h"

namespace qvx::ppmd {

namespace rc {
constexpr std::uint32_t kTop = std::uint32_t{1} << 24;
constexpr std::uint32_t kBottom = std::uint32_t{1} << 15;
// Binary probabilities are 14-bit fractions of the range.
constexpr unsigned kBinaryShift = 14;

// True while a byte has to leave low: its top byte is settled, or the range
// has fallen below 2^15, in which case the range is cut to end at the next
// 2^15 boundary of low.
inline bool ByteDue(std::uint32_t low, std::uint32_t& range) {
  if ((low ^ (low + range)) < kTop) return true;
  if (range >= kBottom) return false;
  range = (0 - low) & (kBottom - 1);
  return true;
}

// A total above the range cannot be coded; both sides cut it to the range.
inline std::uint32_t FitToRange(std::uint32_t total, std::uint32_t range) {
  return total > range ? range : total;
}
}  // namespace rc

class RangeEncoder {
 public:
  explicit RangeEncoder(ByteSink& sink) : sink_(sink) {}
  RangeEncoder(const RangeEncoder&) = delete;
  RangeEncoder& operator=(const RangeEncoder&) = delete;

  std::uint32_t range() const { return range_; }

  // Codes the interval [start, start + size) of total.
  void Encode(std::uint32_t start, std::uint32_t size, std::uint32_t total) {
    range_ /= total;
    low_ += start * range_;
    range_ *= size;
    Normalize();
  }

  // Binary decisions: bound = (range >> 14) * probability of the 0 branch.
  void EncodeZero(std::uint32_t bound) {
    range_ = bound;
    Normalize();
  }
  void EncodeOne(std::uint32_t bound) {
    low_ += bound;
    range_ = (range_ & ~((std::uint32_t{1} << rc::kBinaryShift) - 1)) - bound;
    Normalize();
  }

  // Writes the final four bytes and commits all output to the sink.
  void Flush() {
    for (int i = 0; i < 4; ++i) {
      Put(static_cast<std::uint8_t>(low_ >> 24));
      low_ <<= 8;
    }
    sink_.Commit(static_cast<std::size_t>(next_ - start_));
    start_ = next_ = end_ = nullptr;
  }

 private:
  void Normalize() {
    while (rc::ByteDue(low_, range_)) {
      Put(static_cast<std::uint8_t>(low_ >> 24));
      range_ <<= 8;
      low_ <<= 8;
    }
  }

  void Put(std::uint8_t byte) {
    if (next_ == end_) NextSpace();
    *next_++ = byte;
  }

  void NextSpace() {
    if (start_ != nullptr) sink_.Commit(static_cast<std::size_t>(next_ - start_));
    const ByteSpan span = sink_.Space();
    start_ = next_ = span.data;
    end_ = span.data + span.size;
  }

  ByteSink& sink_;
  std::uint8_t* start_ = nullptr;  // current window of the sink
  std::uint8_t* next_ = nullptr;
  std::uint8_t* end_ = nullptr;
  std::uint32_t low_ = 0;
  std::uint32_t range_ = 0xFFFFFFFF;
};

class RangeDecoder {
 public:
  explicit RangeDecoder(ByteSource& source) : source_(source) {}
  RangeDecoder(const RangeDecoder&) = delete;
  RangeDecoder& operator=(const RangeDecoder&) = delete;

  // Reads the first four bytes. False when they cannot start a stream.
  bool Start() {
    for (int i = 0; i < 4; ++i) code_ = (code_ << 8) | Get();
    return code_ != 0xFFFFFFFF && !overrun_;
  }

  std::uint32_t range() const { return range_; }

  // Scales the range to total and returns where the code falls in it; the
  // caller must follow with Decode for the interval it finds there.
  std::uint32_t Threshold(std::uint32_t total) {
    range_ /= total;
    return code_ / range_;
  }

  // The same in two steps, for callers that can often tell the interval
  // without the second division: after Scale(total), Below(high) is
  // Threshold() < high for any high <= total (high times the scaled range
  // cannot pass the range before Scale), and Count() is Threshold().
  void Scale(std::uint32_t total) { range_ /= total; }
  bool Below(std::uint32_t high) const { return code_ < high * range_; }
  std::uint32_t Count() const { return code_ / range_; }
  void Decode(std::uint32_t start, std::uint32_t size) {
    start *= range_;
    low_ += start;
    code_ -= start;
    range_ *= size;
    Normalize();
  }

  // Binary decisions, as in RangeEncoder.
  bool IsZero(std::uint32_t bound) const { return code_ < bound; }
  void DecodeZero(std::uint32_t bound) {
    range_ = bound;
    Normalize();
  }
  void DecodeOne(std::uint32_t bound) {
    low_ += bound;
    code_ -= bound;
    range_ = (range_ & ~((std::uint32_t{1} << rc::kBinaryShift) - 1)) - bound;
    Normalize();
  }

  // Input bytes taken so far.
  std::size_t bytes_read() const { return taken_ - static_cast<std::size_t>(end_ - next_); }

  // True once the decoder wanted a byte beyond the end of the input (it got
  // zeros instead).
  bool overrun() const { return overrun_; }

  // After the end mark: every input byte has been read, none more.
  bool AtEndOfInput() {
    return !overrun_ && next_ == end_ && source_.Next().size == 0;
  }
  // After the end mark: the code has come down to exactly the encoder's
  // final low, as in every stream an encoder writes.
  bool EndedCleanly() const { return code_ == 0; }

 private:
  void Normalize() {
    while (rc::ByteDue(low_, range_)) {
      code_ = (code_ << 8) | Get();
      range_ <<= 8;
      low_ <<= 8;
    }
  }

  std::uint32_t Get() {
    if (next_ != end_) return *next_++;
    return Refill();
  }

  std::uint32_t Refill() {
    const ByteView piece = source_.Next();
    if (piece.size == 0) {
      overrun_ = true;
      return 0;
    }
    next_ = piece.data;
    end_ = piece.data + piece.size;
    taken_ += piece.size;
    return *next_++;
  }

  ByteSource& source_;
  const std::uint8_t* next_ = nullptr;
  const std::uint8_t* end_ = nullptr;
  std::size_t taken_ = 0;  // bytes of all pieces so far
  std::uint32_t low_ = 0;
  std::uint32_t code_ = 0;
  std::uint32_t range_ = 0xFFFFFFFF;
  bool overrun_ = false;
};

}  // namespace qvx::ppmd

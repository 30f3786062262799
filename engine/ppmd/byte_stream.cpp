// Chunked output buffer of the PPMd coders.
#include "engine/ppmd/byte_stream.h"

#include <algorithm>
#include <cassert>

namespace qvx::ppmd {

namespace {
constexpr std::size_t kFirstChunk = std::size_t{4} << 10;
constexpr std::size_t kLargestChunk = std::size_t{1} << 20;
}  // namespace

ByteSpan ChunkedBuffer::Space() {
  if (chunks_.empty() || used_ == chunks_.back().size()) {
    // Each new chunk is as large as everything before it, within bounds, so a
    // short text stays in one small chunk and a long one in few large ones.
    // Never beyond max_size_ (the writer asks only while there is room).
    assert(size_ < max_size_);
    const std::size_t room = max_size_ > size_ ? max_size_ - size_ : 1;
    const std::size_t n = std::min(std::clamp(size_, kFirstChunk, kLargestChunk), room);
    chunks_.reserve(chunks_.size() + 1);
    SecureBytes chunk(n);
    chunks_.push_back(std::move(chunk));
    allocated_ += n;
    used_ = 0;
  }
  SecureBytes& last = chunks_.back();
  return {last.data() + used_, last.size() - used_};
}

void ChunkedBuffer::Commit(std::size_t n) {
  assert(!chunks_.empty() && n <= chunks_.back().size() - used_);
  used_ += n;
  size_ += n;
}

void ChunkedBuffer::MoveAppendTo(SecureBytes& out) {
  out.reserve(out.size() + size_);
  for (std::size_t i = 0; i < chunks_.size(); ++i) {
    const std::size_t n = i + 1 == chunks_.size() ? used_ : chunks_[i].size();
    out.insert(out.end(), chunks_[i].begin(), chunks_[i].begin() + static_cast<std::ptrdiff_t>(n));
    SecureBytes().swap(chunks_[i]);  // wiped and released at once
  }
  chunks_.clear();
  used_ = 0;
  size_ = 0;
  allocated_ = 0;
}

}  // namespace qvx::ppmd

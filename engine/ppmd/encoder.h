// PPMd variant I encoder: codes bytes and the end mark with the model and the
// range coder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ppmd/byte_stream.h"
#include "engine/ppmd/model.h"
#include "engine/ppmd/range_coder.h"

namespace qvx::ppmd {

class Encoder {
 public:
  // Starts a stream: resets the model (which must have its memory) for
  // max_order. Output goes to sink; the sink may throw std::bad_alloc.
  Encoder(Model& model, unsigned max_order, ByteSink& sink);

  void Encode(const std::uint8_t* data, std::size_t size);

  // Codes the end mark and writes the last bytes. The stream is complete.
  void Finish();

 private:
  static constexpr int kEndMark = -1;
  void EncodeSymbol(int symbol);
  [[gnu::noinline]] void EncodeAfterEscape(int symbol, Context escaped);

  Model& model_;
  RangeEncoder rc_;
};

}  // namespace qvx::ppmd

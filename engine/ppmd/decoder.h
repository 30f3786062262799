// PPMd variant I decoder: decodes a whole stream up to its end mark and checks
// that the stream ends exactly there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ppmd/byte_stream.h"
#include "engine/ppmd/model.h"
#include "engine/ppmd/ppmd.h"
#include "engine/ppmd/range_coder.h"
#include "platform/result.h"

namespace qvx::ppmd {

class Decoder {
 public:
  // Starts a stream: resets the model (which must have its memory) for
  // max_order.
  Decoder(Model& model, unsigned max_order, ByteSource& source);

  // Decodes everything into sink (which may throw std::bad_alloc), at most
  // max_output bytes: the sink is never asked for room beyond them. Fails with
  // Errc::Corrupted when the input ends before the end mark, when anything
  // follows the end mark, when the stream holds more than max_output bytes,
  // or when it cannot have come from an encoder; with Errc::Cancelled when
  // progress (asked after each piece of output the sink takes) says stop. The
  // bytes decoded before a failure stay in the sink.
  Status DecodeAll(ByteSink& sink, std::size_t max_output = SIZE_MAX, DecodeProgress* progress = nullptr);

 private:
  static constexpr int kEndMark = -1;
  static constexpr int kDataError = -2;
  int DecodeSymbol();
  [[gnu::noinline]] int DecodeAfterEscape(Context escaped);

  Model& model_;
  RangeDecoder rc_;
};

}  // namespace qvx::ppmd

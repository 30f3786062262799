// PPMd variant I decoder: the mirror of the encoder. Where the encoder looks a
// symbol up, the decoder finds which interval the code falls in; both then
// update the model in the same way.
#include "engine/ppmd/decoder.h"

#include "engine/ppmd/ppmd.h"

namespace qvx::ppmd {

namespace {

Error Corrupted(const char* what) { return MakeError(Errc::Corrupted, what); }

}  // namespace

Decoder::Decoder(Model& model, unsigned max_order, ByteSource& source) : model_(model), rc_(source) {
  model_.Start(max_order);
}

Status Decoder::DecodeAll(ByteSink& sink, std::size_t max_output, DecodeProgress* progress) {
  if (!rc_.Start()) {
    return Corrupted(rc_.overrun() ? "the PPMd stream ends before its end mark"
                                   : "the PPMd stream has a damaged start");
  }
  std::size_t left = max_output;
  int symbol = 0;
  while (symbol >= 0) {
    if (left == 0) {
      // Only the end mark may follow now.
      symbol = DecodeSymbol();
      if (rc_.overrun()) return Corrupted("the PPMd stream ends before its end mark");
      if (symbol >= 0) return Corrupted(kOverLimitDetail);
      break;
    }
    const ByteSpan space = sink.Space();
    const std::size_t room = space.size < left ? space.size : left;
    std::size_t n = 0;
    while (n < room) {
      symbol = DecodeSymbol();
      if (symbol < 0 || rc_.overrun()) break;
      space.data[n++] = static_cast<std::uint8_t>(symbol);
    }
    sink.Commit(n);
    left -= n;
    if (rc_.overrun()) return Corrupted("the PPMd stream ends before its end mark");
    if (progress != nullptr && !progress->Continue(rc_.bytes_read(), max_output - left)) {
      return MakeError(Errc::Cancelled, "decoding was cancelled");
    }
  }
  if (symbol == kDataError) return Corrupted("the PPMd stream is damaged");
  if (!rc_.AtEndOfInput()) return Corrupted("data follows the end of the PPMd stream");
  if (!rc_.EndedCleanly()) return Corrupted("the PPMd stream is damaged at its end");
  return Ok();
}

int Decoder::DecodeSymbol() {
  const Context mc = model_.context();
  if (mc.num_stats() != 0) {
    State s = model_.StatsOf(mc);
    const std::uint32_t total = rc::FitToRange(mc.summ_freq(), rc_.range());
    if (total == 0) return kDataError;
    rc_.Scale(total);
    std::uint32_t high = s.freq();
    // Most often the first state: told without dividing the code.
    if (rc_.Below(high)) {
      model_.PrefetchSuccessor(s);
      const unsigned symbol = s.symbol();
      rc_.Decode(0, s.freq());
      model_.FirstFound(s);
      return static_cast<int>(symbol);
    }
    const std::uint32_t count = rc_.Count();
    // No encoder puts the code into the remainder beyond the last interval.
    if (count >= total) return kDataError;
    for (unsigned i = mc.num_stats(); i != 0; --i) {
      ++s;
      const std::uint32_t low = high;
      high += s.freq();
      if (count < high) {
        model_.PrefetchSuccessor(s);
        const unsigned symbol = s.symbol();
        rc_.Decode(low, s.freq());
        model_.Found(s);
        return static_cast<int>(symbol);
      }
    }
    rc_.Decode(high, total - high);
    model_.Escaped();
  } else {
    const Model::BinaryDecision d = model_.Binary(rc_.range());
    if (rc_.IsZero(d.bound)) {
      const unsigned symbol = mc.one_state().symbol();
      rc_.DecodeZero(d.bound);
      model_.BinaryFound(d);
      return static_cast<int>(symbol);
    }
    rc_.DecodeOne(d.bound);
    model_.BinaryEscaped(d);
  }
  return DecodeAfterEscape(mc);
}

// Out of line, as in the encoder.
int Decoder::DecodeAfterEscape(Context escaped) {
  SymbolMask mask;
  model_.StartMask(escaped, &mask);

  for (;;) {
    const unsigned num_masked = model_.context().num_stats();
    if (!model_.EscapeToSuffix(num_masked)) return kEndMark;
    const Context c = model_.context();
    const unsigned n = c.num_stats() + 1;
    const State first = model_.StatsOf(c);
    const std::uint32_t high = mask.Total(first, n);  // the symbols still possible
    std::uint32_t esc_freq;
    See& see = model_.EscapeFrequency(num_masked, &esc_freq);
    const std::uint32_t total = high + esc_freq;
    const std::uint32_t fitted = rc::FitToRange(total, rc_.range());
    const std::uint32_t count = rc_.Threshold(fitted);
    if (count < high) {
      std::uint32_t low = 0;
      State s = first;
      for (;; ++s) {
        const std::uint32_t freq = mask.Freq(s);
        if (count < low + freq) break;
        low += freq;
      }
      const unsigned symbol = s.symbol();
      rc_.Decode(low, s.freq());
      see.Update();
      model_.MaskedFound(s);
      return static_cast<int>(symbol);
    }
    if (count >= fitted) return kDataError;
    rc_.Decode(high, fitted - high);
    see.summ = static_cast<std::uint16_t>(see.summ + total);
    mask.Exclude(first, n);
  }
}

}  // namespace qvx::ppmd

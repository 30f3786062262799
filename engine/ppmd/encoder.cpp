// PPMd variant I encoder. A symbol is coded in the current context: as its
// frequency among the context's states, or as the binary decision of a
// one-symbol context. A symbol the context lacks is coded as an escape, after
// which the next shorter context codes it among the symbols not yet seen.
// The end mark is a symbol no context has: escapes down past order 0.
#include "engine/ppmd/encoder.h"

#include <cstring>

namespace qvx::ppmd {

namespace {

// A total above the range cannot be coded; both sides cut it to the range.
inline std::uint32_t FitToRange(std::uint32_t total, std::uint32_t range) {
  return total > range ? range : total;
}

}  // namespace

Encoder::Encoder(Model& model, unsigned max_order, ByteSink& sink) : model_(model), rc_(sink) {
  model_.Start(max_order);
}

void Encoder::Encode(const std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) EncodeSymbol(data[i]);
}

void Encoder::Finish() {
  EncodeSymbol(kEndMark);
  rc_.Flush();
}

void Encoder::EncodeSymbol(int symbol) {
  // 0xFF for symbols still possible, 0 for those a longer context offered.
  std::uint8_t mask[256];
  const Context mc = model_.context();
  if (mc.num_stats() != 0) {
    State s = model_.StatsOf(mc);
    const std::uint32_t total = FitToRange(mc.summ_freq(), rc_.range());
    if (static_cast<int>(s.symbol()) == symbol) {
      rc_.Encode(0, s.freq(), total);
      model_.FirstFound(s);
      return;
    }
    std::uint32_t low = s.freq();
    for (unsigned i = mc.num_stats(); i != 0; --i) {
      ++s;
      if (static_cast<int>(s.symbol()) == symbol) {
        rc_.Encode(low, s.freq(), total);
        model_.Found(s);
        return;
      }
      low += s.freq();
    }
    rc_.Encode(low, total - low, total);
    model_.Escaped();
    std::memset(mask, 0xFF, sizeof mask);
    for (State t = model_.StatsOf(mc); t != s; ++t) mask[t.symbol()] = 0;
    mask[s.symbol()] = 0;
  } else {
    std::uint16_t& probability = model_.BinaryProbability();
    const State s = mc.one_state();
    std::uint32_t p = probability;
    const std::uint32_t bound = (rc_.range() >> rc::kBinaryShift) * p;
    p -= (p + 32) >> Model::kIntBits;  // the decision moves the estimate
    if (static_cast<int>(s.symbol()) == symbol) {
      probability = static_cast<std::uint16_t>(p + (1u << Model::kIntBits));
      rc_.EncodeZero(bound);
      model_.BinaryFound();
      return;
    }
    probability = static_cast<std::uint16_t>(p);
    model_.BinaryEscaped(p);
    rc_.EncodeOne(bound);
    std::memset(mask, 0xFF, sizeof mask);
    mask[s.symbol()] = 0;
  }

  for (;;) {
    const unsigned num_masked = model_.context().num_stats();
    if (!model_.EscapeToSuffix(num_masked)) return;  // the end mark is complete
    std::uint32_t esc_freq;
    See& see = model_.EscapeFrequency(num_masked, &esc_freq);
    const Context c = model_.context();
    const State first = model_.StatsOf(c);
    const State end = first + (c.num_stats() + 1);
    std::uint32_t low = 0;
    for (State s = first; s != end; ++s) {
      const unsigned sym = s.symbol();
      if (static_cast<int>(sym) == symbol) {
        std::uint32_t total = low + s.freq();
        for (State t = s + 1; t != end; ++t) total += t.freq() & mask[t.symbol()];
        total += esc_freq;
        see.Update();
        rc_.Encode(low, s.freq(), FitToRange(total, rc_.range()));
        model_.MaskedFound(s);
        return;
      }
      low += s.freq() & mask[sym];
    }
    const std::uint32_t total = low + esc_freq;
    see.summ = static_cast<std::uint16_t>(see.summ + total);
    const std::uint32_t fitted = FitToRange(total, rc_.range());
    rc_.Encode(low, fitted - low, fitted);
    for (State t = first; t != end; ++t) mask[t.symbol()] = 0;
  }
}

}  // namespace qvx::ppmd

// PPMd variant I encoder. A symbol is coded in the current context: as its
// frequency among the context's states, or as the binary decision of a
// one-symbol context. A symbol the context lacks is coded as an escape, after
// which the next shorter context codes it among the symbols not yet seen.
// The end mark is a symbol no context has: escapes down past order 0.
#include "engine/ppmd/encoder.h"

namespace qvx::ppmd {

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
  const Context mc = model_.context();
  if (mc.num_stats() != 0) {
    State s = model_.StatsOf(mc);
    const std::uint32_t total = rc::FitToRange(mc.summ_freq(), rc_.range());
    if (static_cast<int>(s.symbol()) == symbol) {
      model_.PrefetchSuccessor(s);
      rc_.Encode(0, s.freq(), total);
      model_.FirstFound(s);
      return;
    }
    std::uint32_t low = s.freq();
    for (unsigned i = mc.num_stats(); i != 0; --i) {
      ++s;
      if (static_cast<int>(s.symbol()) == symbol) {
        model_.PrefetchSuccessor(s);
        rc_.Encode(low, s.freq(), total);
        model_.Found(s);
        return;
      }
      low += s.freq();
    }
    rc_.Encode(low, total - low, total);
    model_.Escaped();
  } else {
    const Model::BinaryDecision d = model_.Binary(rc_.range());
    if (static_cast<int>(mc.one_state().symbol()) == symbol) {
      rc_.EncodeZero(d.bound);
      model_.BinaryFound(d);
      return;
    }
    rc_.EncodeOne(d.bound);
    model_.BinaryEscaped(d);
  }
  EncodeAfterEscape(symbol, mc);
}

// Out of line: most symbols are found without an escape, and this part's
// state would otherwise weigh on every call. From here on the symbols of the
// contexts escaped from are left out of every shorter context.
void Encoder::EncodeAfterEscape(int symbol, Context escaped) {
  SymbolMask mask;
  model_.StartMask(escaped, &mask);

  for (;;) {
    const unsigned num_masked = model_.context().num_stats();
    if (!model_.EscapeToSuffix(num_masked)) return;  // the end mark is complete
    std::uint32_t esc_freq;
    See& see = model_.EscapeFrequency(num_masked, &esc_freq);
    const Context c = model_.context();
    const unsigned n = c.num_stats() + 1;
    const State first = model_.StatsOf(c);
    std::uint32_t low = 0;
    State s = first;
    for (unsigned i = n; i != 0; --i, ++s) {
      if (static_cast<int>(s.symbol()) == symbol) {
        const std::uint32_t total = low + s.freq() + mask.Total(s + 1, i - 1) + esc_freq;
        see.Update();
        rc_.Encode(low, s.freq(), rc::FitToRange(total, rc_.range()));
        model_.MaskedFound(s);
        return;
      }
      low += mask.Freq(s);
    }
    const std::uint32_t total = low + esc_freq;
    see.summ = static_cast<std::uint16_t>(see.summ + total);
    const std::uint32_t fitted = rc::FitToRange(total, rc_.range());
    rc_.Encode(low, fitted - low, fitted);
    mask.Exclude(first, n);
  }
}

}  // namespace qvx::ppmd

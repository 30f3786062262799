// The PPMd variant I context model (revision 1, model restart when memory runs
// out): contexts up to the maximum order with their symbol statistics, kept in
// one block of model memory by a unit allocator, plus the secondary escape
// estimation (SEE) and binary-context tables. The encoder and decoder drive it
// symbol by symbol through the small coding interface below; both sides make
// the same calls in the same order, so their models stay identical.
//
// Every detail that can change an allocation, a frequency or a table entry is
// part of the stream format: the unit sizes and free lists, the order in which
// free blocks are glued, the text area, the flags. Change nothing here without
// the cross-check against the reference coder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/ppmd/ppmd.h"
#include "platform/result.h"

namespace qvx::ppmd {

// Offset of a byte in the model memory; 0 stands for "none".
using Ref = std::uint32_t;

namespace mem {
inline unsigned Load16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store16(std::uint8_t* p, unsigned v) {
  const auto x = static_cast<std::uint16_t>(v);
  std::memcpy(p, &x, 2);
}
inline void Store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
}  // namespace mem

// A symbol's statistics, 6 bytes in model memory: the symbol, its frequency
// and its successor (the context one order up, or a position in the text area
// until that context is built). A handle: copying it copies the address.
class State {
 public:
  static constexpr std::size_t kSize = 6;

  State() = default;
  explicit State(std::uint8_t* at) : p_(at) {}

  std::uint8_t* address() const { return p_; }
  unsigned symbol() const { return p_[0]; }
  unsigned freq() const { return p_[1]; }
  Ref successor() const { return mem::Load32(p_ + 2); }
  void set_symbol(unsigned symbol) { p_[0] = static_cast<std::uint8_t>(symbol); }
  void set_freq(unsigned freq) { p_[1] = static_cast<std::uint8_t>(freq); }
  void set_successor(Ref successor) { mem::Store32(p_ + 2, successor); }

  // Copies the whole record of another state into this one.
  void Assign(State other) { std::memcpy(p_, other.p_, kSize); }
  friend void SwapStates(State a, State b) {
    std::uint8_t t[kSize];
    std::memcpy(t, a.p_, kSize);
    std::memcpy(a.p_, b.p_, kSize);
    std::memcpy(b.p_, t, kSize);
  }

  State operator+(std::ptrdiff_t n) const { return State(p_ + n * static_cast<std::ptrdiff_t>(kSize)); }
  State operator-(std::ptrdiff_t n) const { return State(p_ - n * static_cast<std::ptrdiff_t>(kSize)); }
  State& operator++() {
    p_ += kSize;
    return *this;
  }
  State& operator--() {
    p_ -= kSize;
    return *this;
  }
  friend bool operator==(State a, State b) { return a.p_ == b.p_; }
  friend bool operator!=(State a, State b) { return a.p_ != b.p_; }

 private:
  std::uint8_t* p_ = nullptr;
};

// A context, one 12-byte unit of model memory:
//   [0]     number of symbols - 1
//   [1]     flags (rescaled, symbols >= 0x40 seen, previous symbol >= 0x40)
//   [2..3]  total frequency of the context (escape included)
//   [4..7]  the array of its States
//   [8..11] its suffix, the context one order lower (none for order 0)
// A context with a single symbol (a binary context) keeps that State inline
// in bytes 2..7 instead of the total and the array.
class Context {
 public:
  Context() = default;
  explicit Context(std::uint8_t* at) : p_(at) {}

  std::uint8_t* address() const { return p_; }
  unsigned num_stats() const { return p_[0]; }
  unsigned flags() const { return p_[1]; }
  unsigned summ_freq() const { return mem::Load16(p_ + 2); }
  Ref stats() const { return mem::Load32(p_ + 4); }
  Ref suffix() const { return mem::Load32(p_ + 8); }
  State one_state() const { return State(p_ + 2); }

  void set_num_stats(unsigned n) { p_[0] = static_cast<std::uint8_t>(n); }
  void set_flags(unsigned flags) { p_[1] = static_cast<std::uint8_t>(flags); }
  void set_summ_freq(unsigned freq) { mem::Store16(p_ + 2, freq); }
  void set_stats(Ref stats) { mem::Store32(p_ + 4, stats); }
  void set_suffix(Ref suffix) { mem::Store32(p_ + 8, suffix); }

  friend bool operator==(Context a, Context b) { return a.p_ == b.p_; }
  friend bool operator!=(Context a, Context b) { return a.p_ != b.p_; }

 private:
  std::uint8_t* p_ = nullptr;
};

// The symbols a longer context already offered while one symbol escapes down
// the contexts: they cannot be the symbol, so shorter contexts leave them out.
class SymbolMask {
 public:
  // Everything possible again.
  void Reset() { std::memset(bits_, 0xFF, sizeof bits_); }

  void Exclude(unsigned symbol) { bits_[symbol] = 0; }
  // Excludes the symbols of count states from first on.
  void Exclude(State first, unsigned count) {
    if ((count & 1) != 0) {
      bits_[first.symbol()] = 0;
      ++first;
    }
    for (count >>= 1; count != 0; --count) {
      bits_[first.symbol()] = 0;
      bits_[(first + 1).symbol()] = 0;
      first = first + 2;
    }
  }

  // The state's frequency, or 0 when its symbol is excluded.
  unsigned Freq(State s) const { return s.freq() & bits_[s.symbol()]; }

  // Total frequency of the symbols not excluded among count states from first on.
  std::uint32_t Total(State first, unsigned count) const {
    std::uint32_t total = 0;
    if ((count & 1) != 0) {
      total = Freq(first);
      ++first;
    }
    for (count >>= 1; count != 0; --count) {
      total += Freq(first) + Freq(first + 1);
      first = first + 2;
    }
    return total;
  }

 private:
  std::uint8_t bits_[256];  // 0xFF possible, 0 excluded
};

namespace tables {

constexpr unsigned kNumIndexes = 38;  // classes of block sizes, in units

struct Tables {
  std::uint8_t index_to_units[kNumIndexes];  // 1, 2, 3, 4, 6, ... 12, 15, ... 24, 28, ... 128
  std::uint8_t units_to_index[128];          // [units - 1] -> smallest class that holds them
  std::uint8_t ns2bsindx[256];               // symbols of the suffix - 1 -> binary column
  std::uint8_t ns2indx[260];                 // frequency or symbol count -> table row
};

constexpr Tables MakeTables() {
  Tables t{};
  unsigned k = 0;
  for (unsigned i = 0; i < kNumIndexes; ++i) {
    const unsigned step = i >= 12 ? 4 : (i >> 2) + 1;
    for (unsigned n = 0; n < step; ++n) t.units_to_index[k++] = static_cast<std::uint8_t>(i);
    t.index_to_units[i] = static_cast<std::uint8_t>(k);
  }
  t.ns2bsindx[0] = 0;
  t.ns2bsindx[1] = 2;
  for (unsigned i = 2; i < 11; ++i) t.ns2bsindx[i] = 4;
  for (unsigned i = 11; i < 256; ++i) t.ns2bsindx[i] = 6;
  unsigned i = 0;
  for (; i < 5; ++i) t.ns2indx[i] = static_cast<std::uint8_t>(i);
  // Then runs of growing length: one 5, two 6s, three 7s, ...
  for (unsigned m = i, left = 1; i < 260; ++i) {
    t.ns2indx[i] = static_cast<std::uint8_t>(m);
    if (--left == 0) left = ++m - 4;
  }
  return t;
}

inline constexpr Tables kTables = MakeTables();

}  // namespace tables

// An adaptive escape estimate of the secondary escape estimation.
struct See {
  std::uint16_t summ;
  std::uint8_t shift;
  std::uint8_t count;

  // After the symbol was found in the context this estimate served.
  void Update() {
    if (shift < kPeriodBits && --count == 0) {
      summ = static_cast<std::uint16_t>(summ << 1);
      count = static_cast<std::uint8_t>(3 << shift++);
    }
  }

  static constexpr unsigned kPeriodBits = 7;
};

class Model {
 public:
  static constexpr unsigned kMinOrder = 2;
  static constexpr unsigned kMaxOrder = 16;
  static constexpr unsigned kIntBits = 7;  // binary probabilities: 14 bits
  static constexpr unsigned kBinScale = 1u << (kIntBits + See::kPeriodBits);
  static constexpr unsigned kMaxFreq = 124;  // a context is rescaled above this

  explicit Model(ModelAllocator& allocator);
  ~Model();  // wipes the memory the model wrote, then releases it
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  // Takes size bytes of model memory. OutOfMemory when the allocator has
  // none, InvalidArgument for a size outside [kMinMemory, kMaxMemory].
  static constexpr std::uint32_t kMinMemory = 1u << 11;
  static constexpr std::uint32_t kMaxMemory = 0xFFFFFFFFu - 3;
  Status Allocate(std::uint32_t size);

  // Resets the model for a new stream, with max_order in [kMinOrder,
  // kMaxOrder]. The memory must have been allocated.
  void Start(unsigned max_order);

  // How often the model ran out of memory and restarted since Start.
  std::uint32_t restarts() const { return restarts_; }

  // ---- Coding interface ----------------------------------------------------

  // The context the next symbol is coded in.
  Context context() const { return min_context_; }

  // Starts loading the context that follows the symbol of s (its successor,
  // most often the next context to code in) while the coder finishes with s.
  void PrefetchSuccessor(State s) const { __builtin_prefetch(base_ + s.successor()); }
  State StatsOf(Context c) const { return State(base_ + c.stats()); }

  // The decision in a binary context (one symbol): does its symbol come next?
  struct BinaryDecision {
    std::uint16_t* probability;  // adaptive probability of the symbol, 14 bits
    std::uint32_t bound;         // the symbol's share of the range
    std::uint32_t lowered;       // the probability moved toward an escape
  };
  BinaryDecision Binary(std::uint32_t range) {
    // Row: the symbol's frequency. Column: the last symbol's success, the sign
    // of the run length (bit 31 -> 0x20), the suffix's size and the flags.
    const Context mc = min_context_;
    PrefetchSuccessor(mc.one_state());
    const unsigned row = tables::kTables.ns2indx[mc.one_state().freq() - 1];
    const unsigned column = prev_success_ + ((run_length_ >> 26) & 0x20) +
                            tables::kTables.ns2bsindx[Context(base_ + mc.suffix()).num_stats()] + mc.flags();
    std::uint16_t* probability = &bin_summ_[row][column];
    const std::uint32_t p = *probability;
    return {probability, (range >> (kIntBits + See::kPeriodBits)) * p, p - ((p + 32) >> kIntBits)};
  }
  // The binary context's symbol was coded.
  void BinaryFound(const BinaryDecision& d) {
    *d.probability = static_cast<std::uint16_t>(d.lowered + (1u << kIntBits));
    State s = min_context_.one_state();
    const unsigned freq = s.freq();
    found_state_ = s;
    prev_success_ = 1;
    ++run_length_;
    s.set_freq(freq + (freq < 196));
    NextContext();
  }
  // An escape was coded in the binary context.
  void BinaryEscaped(const BinaryDecision& d) {
    *d.probability = static_cast<std::uint16_t>(d.lowered);
    init_esc_ = kExpEscape[d.lowered >> 10];
    prev_success_ = 0;
  }

  // The symbol was coded in the context of the previous symbol (no escape so
  // far): the first of its states, or another one.
  void FirstFound(State s) {
    const unsigned freq = s.freq();
    const unsigned summ = min_context_.summ_freq();
    prev_success_ = 2 * freq >= summ;
    run_length_ += prev_success_;
    min_context_.set_summ_freq(summ + 4);
    s.set_freq(freq + 4);
    found_state_ = s;
    if (freq + 4 > kMaxFreq) Rescale();
    NextContext();
  }
  void Found(State s) {
    prev_success_ = 0;
    const unsigned freq = s.freq() + 4;
    min_context_.set_summ_freq(min_context_.summ_freq() + 4);
    s.set_freq(freq);
    found_state_ = s;
    if (freq > (s - 1).freq()) {
      // Keep the states roughly sorted by frequency.
      SwapStates(s, s - 1);
      found_state_ = s - 1;
      if (freq > kMaxFreq) Rescale();
    }
    NextContext();
  }
  // An escape was coded in that context.
  void Escaped() { prev_success_ = 0; }

  // After the first escape of a symbol: every symbol possible but those of
  // the context escaped from.
  void StartMask(Context escaped, SymbolMask* mask) const {
    mask->Reset();
    if (escaped.num_stats() == 0) {
      mask->Exclude(escaped.one_state().symbol());
    } else {
      mask->Exclude(StatsOf(escaped), escaped.num_stats() + 1);
    }
  }

  // After an escape from a context with num_masked + 1 symbols: moves to the
  // next shorter context that has more symbols. False when there is none,
  // that is, the escape left the order-0 context: the end mark.
  bool EscapeToSuffix(unsigned num_masked) {
    Context mc = min_context_;
    do {
      ++order_fall_;
      if (mc.suffix() == 0) return false;
      mc = Context(base_ + mc.suffix());
    } while (mc.num_stats() == num_masked);
    min_context_ = mc;
    return true;
  }

  // Escape frequency for the context reached by EscapeToSuffix, and the SEE
  // estimate it came from (the coder updates it with the outcome).
  See& EscapeFrequency(unsigned num_masked, std::uint32_t* esc_freq);

  // The symbol was coded in a context reached after escapes.
  void MaskedFound(State s) {
    const unsigned freq = s.freq() + 4;
    run_length_ = init_run_length_;
    min_context_.set_summ_freq(min_context_.summ_freq() + 4);
    s.set_freq(freq);
    found_state_ = s;
    if (freq > kMaxFreq) Rescale();
    UpdateModel();
  }

 private:
  static constexpr unsigned kNumIndexes = tables::kNumIndexes;
  static constexpr unsigned kUnitSize = 12;
  // Initial escape estimate of a binary context turned into a full one, by
  // the binary probability of its escape.
  static constexpr std::uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};

  static unsigned I2U(unsigned index) { return tables::kTables.index_to_units[index]; }
  static unsigned U2I(unsigned units) { return tables::kTables.units_to_index[units - 1]; }
  static std::uint32_t U2B(unsigned units) { return static_cast<std::uint32_t>(units) * kUnitSize; }

  std::uint8_t* Ptr(Ref r) const { return base_ + r; }
  Ref RefOf(const std::uint8_t* p) const { return static_cast<Ref>(p - base_); }
  Context Ctx(Ref r) const { return Context(base_ + r); }
  Context SuffixOf(Context c) const { return Context(base_ + c.suffix()); }

  // Unit allocator.
  void InsertNode(std::uint8_t* node, unsigned index);
  std::uint8_t* RemoveNode(unsigned index);
  void SplitBlock(std::uint8_t* block, unsigned old_index, unsigned new_index);
  void GlueFreeBlocks();
  std::uint8_t* AllocUnitsRare(unsigned index);
  std::uint8_t* AllocUnits(unsigned index);
  std::uint8_t* AllocContext();
  std::uint8_t* ShrinkUnits(std::uint8_t* old_block, unsigned old_units, unsigned new_units);

  // Model maintenance.
  void RestartModel();
  void OnMemoryExhausted();
  Context CreateSuccessors(bool skip, State s1, Context c);
  Context ReduceOrder(State s1, Context c);
  void UpdateModel();
  void Rescale();
  void NextContext() {
    const Ref successor = found_state_.successor();
    if (order_fall_ == 0 && Ptr(successor) >= units_start_) {
      max_context_ = min_context_ = Ctx(successor);
    } else {
      UpdateModel();
    }
  }
  void NoteWrittenRegions();

  ModelAllocator& allocator_;
  std::uint8_t* block_ = nullptr;  // as allocated
  std::uint32_t block_size_ = 0;
  std::uint8_t* base_ = nullptr;  // offset 0 of every Ref
  std::uint32_t size_ = 0;
  std::uint32_t align_offset_ = 0;

  std::uint8_t* text_ = nullptr;         // next free byte of the text area
  std::uint8_t* units_start_ = nullptr;  // start of the units area
  std::uint8_t* lo_unit_ = nullptr;      // free gap between lo_unit_ and hi_unit_
  std::uint8_t* hi_unit_ = nullptr;
  std::uint32_t glue_count_ = 0;
  Ref free_list_[kNumIndexes] = {};

  Context min_context_;
  Context max_context_;
  State found_state_;
  unsigned max_order_ = 0;
  unsigned order_fall_ = 0;
  unsigned init_esc_ = 0;
  unsigned prev_success_ = 0;
  std::uint32_t run_length_ = 0;  // a signed count kept in two's complement
  std::uint32_t init_run_length_ = 0;
  std::uint32_t restarts_ = 0;

  See dummy_see_ = {};
  See see_[24][32] = {};
  std::uint16_t bin_summ_[25][64] = {};

  // Regions the model has written since Allocate, wiped on destruction.
  std::uint8_t* text_high_ = nullptr;
  std::uint8_t* written_text_end_ = nullptr;
  std::uint8_t* written_units_begin_ = nullptr;
  std::uint8_t* written_lo_end_ = nullptr;
  std::uint8_t* written_hi_begin_ = nullptr;
};

}  // namespace qvx::ppmd

// The PPMd variant I model: unit allocator, model update, rescaling, escape
// estimation, and the restart when the model memory runs out.
#include "engine/ppmd/model.h"

#include <algorithm>
#include <cassert>

#include "platform/secure.h"

namespace qvx::ppmd {

namespace {

constexpr std::uint32_t kEmptyNode = 0xFFFFFFFF;

// Context flags.
constexpr unsigned kFlagRescaled = 1u << 2;
constexpr unsigned kFlagPrevHigh = 1u << 4;  // the symbol that led to the context is >= 0x40
// A symbol >= 0x40 in the context (flag 3) or as the symbol leading to it (flag 4).
inline unsigned HighFlag3(unsigned symbol) { return symbol >= 0x40 ? 1u << 3 : 0; }
inline unsigned HighFlag4(unsigned symbol) { return symbol >= 0x40 ? 1u << 4 : 0; }

// Initial binary escape estimates, by the column within each group of eight.
constexpr std::uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                          0x64A1, 0x5ABC, 0x6632, 0x6051};

// A free block starts with a node: a stamp marking it free, the next free
// block of its list and its size in units.
inline std::uint32_t NodeStamp(const std::uint8_t* node) { return mem::Load32(node); }
inline Ref NodeNext(const std::uint8_t* node) { return mem::Load32(node + 4); }
inline std::uint32_t NodeUnits(const std::uint8_t* node) { return mem::Load32(node + 8); }
inline void SetNodeNext(std::uint8_t* node, Ref next) { mem::Store32(node + 4, next); }
inline void SetNodeUnits(std::uint8_t* node, std::uint32_t units) { mem::Store32(node + 8, units); }

class HeapAllocator final : public ModelAllocator {
 public:
  void* Allocate(std::size_t size) noexcept override { return new (std::nothrow) std::uint8_t[size]; }
  void Release(void* block, std::size_t) noexcept override { delete[] static_cast<std::uint8_t*>(block); }
};

}  // namespace

ModelAllocator& HeapModelAllocator() {
  static HeapAllocator allocator;  // stateless
  return allocator;
}

Model::Model(ModelAllocator& allocator) : allocator_(allocator) {}

Model::~Model() {
  if (block_ == nullptr) return;
  // Wipe what the model wrote: the text area up to its highest point, the
  // units taken from the low end and the contexts taken from the high end.
  NoteWrittenRegions();
  if (written_text_end_ > block_) SecureWipe(block_, static_cast<std::size_t>(written_text_end_ - block_));
  if (written_lo_end_ > written_units_begin_) {
    SecureWipe(written_units_begin_, static_cast<std::size_t>(written_lo_end_ - written_units_begin_));
  }
  std::uint8_t* const end = block_ + block_size_;
  if (written_hi_begin_ < end) SecureWipe(written_hi_begin_, static_cast<std::size_t>(end - written_hi_begin_));
  allocator_.Release(block_, block_size_);
}

Status Model::Allocate(std::uint32_t size) {
  if (block_ != nullptr) return MakeError(Errc::InvalidArgument, "the PPMd model has its memory");
  if (size < kMinMemory || size > kMaxMemory) return MakeError(Errc::InvalidArgument, "bad PPMd model size");
  align_offset_ = (4 - size) & 3;
  block_size_ = align_offset_ + size;
  block_ = static_cast<std::uint8_t*>(allocator_.Allocate(block_size_));
  if (block_ == nullptr) {
    block_size_ = 0;
    return MakeError(Errc::OutOfMemory, "no memory for the PPMd model");
  }
  base_ = block_;
  size_ = size;
  written_text_end_ = written_lo_end_ = block_;
  written_units_begin_ = written_hi_begin_ = block_ + block_size_;
  return Ok();
}

void Model::NoteWrittenRegions() {
  if (text_ == nullptr) return;
  written_text_end_ = std::max(written_text_end_, text_high_);
  written_units_begin_ = std::min(written_units_begin_, units_start_);
  written_lo_end_ = std::max(written_lo_end_, lo_unit_);
  written_hi_begin_ = std::min(written_hi_begin_, hi_unit_);
}

void Model::Start(unsigned max_order) {
  assert(base_ != nullptr);
  max_order_ = std::clamp(max_order, kMinOrder, kMaxOrder);
  restarts_ = 0;
  init_esc_ = 0;
  RestartModel();
}

void Model::RestartModel() {
  NoteWrittenRegions();
  std::fill(std::begin(free_list_), std::end(free_list_), Ref{0});
  text_ = text_high_ = base_ + align_offset_;
  hi_unit_ = text_ + size_;
  lo_unit_ = units_start_ = hi_unit_ - size_ / 8 / kUnitSize * 7 * kUnitSize;
  glue_count_ = 0;

  order_fall_ = max_order_;
  const int init_run = -static_cast<int>(std::min(max_order_, 12u)) - 1;
  run_length_ = init_run_length_ = static_cast<std::uint32_t>(init_run);
  prev_success_ = 0;

  // The order-0 context holds all 256 symbols with frequency 1.
  hi_unit_ -= kUnitSize;
  Context root(hi_unit_);
  State stats(lo_unit_);
  lo_unit_ += U2B(256 / 2);
  max_context_ = min_context_ = root;
  found_state_ = stats;
  root.set_flags(0);
  root.set_num_stats(256 - 1);
  root.set_summ_freq(256 + 1);
  root.set_stats(RefOf(stats.address()));
  root.set_suffix(0);
  for (unsigned i = 0; i < 256; ++i) {
    State s = stats + i;
    s.set_symbol(i);
    s.set_freq(1);
    s.set_successor(0);
  }

  const auto& ns2indx = tables::kTables.ns2indx;
  for (unsigned i = 0, m = 0; m < 25; ++m) {
    while (ns2indx[i] == m) ++i;
    for (unsigned k = 0; k < 8; ++k) {
      const auto value = static_cast<std::uint16_t>(kBinScale - kInitBinEsc[k] / (i + 1));
      for (unsigned r = 0; r < 64; r += 8) bin_summ_[m][k + r] = value;
    }
  }
  for (unsigned i = 0, m = 0; m < 24; ++m) {
    while (ns2indx[i + 3] == m + 3) ++i;
    const auto summ = static_cast<std::uint16_t>((2 * i + 5) << (See::kPeriodBits - 4));
    for (See& see : see_[m]) see = See{summ, See::kPeriodBits - 4, 7};
  }
  dummy_see_ = See{0, See::kPeriodBits, 64};
}

void Model::OnMemoryExhausted() {
  ++restarts_;
  RestartModel();
}

// ---- Unit allocator ------------------------------------------------------------

void Model::InsertNode(std::uint8_t* node, unsigned index) {
  mem::Store32(node, kEmptyNode);
  SetNodeNext(node, free_list_[index]);
  SetNodeUnits(node, I2U(index));
  free_list_[index] = RefOf(node);
}

std::uint8_t* Model::RemoveNode(unsigned index) {
  std::uint8_t* node = Ptr(free_list_[index]);
  free_list_[index] = NodeNext(node);
  return node;
}

// Frees the tail of a block of class old_index beyond the first I2U(new_index)
// units, as one block of a class or a class plus a small remainder.
void Model::SplitBlock(std::uint8_t* block, unsigned old_index, unsigned new_index) {
  const unsigned units = I2U(old_index) - I2U(new_index);
  std::uint8_t* tail = block + U2B(I2U(new_index));
  unsigned index = U2I(units);
  if (I2U(index) != units) {
    const unsigned k = I2U(--index);
    InsertNode(tail + U2B(k), units - k - 1);
  }
  InsertNode(tail, index);
}

// Merges physically adjacent free blocks and sorts them into the free lists
// again. The lists are visited in class order; each block swallows the free
// blocks that follow it in memory.
void Model::GlueFreeBlocks() {
  glue_count_ = 1u << 13;
  // A used stamp at the start of the free gap stops merging into the gap.
  if (lo_unit_ != hi_unit_) mem::Store32(lo_unit_, 0);

  Ref head = 0;
  std::uint8_t* last = nullptr;  // last block kept in the chain
  auto link = [&](Ref r) {
    if (last != nullptr) {
      SetNodeNext(last, r);
    } else {
      head = r;
    }
  };
  for (unsigned i = 0; i < kNumIndexes; ++i) {
    Ref next = free_list_[i];
    free_list_[i] = 0;
    while (next != 0) {
      std::uint8_t* node = Ptr(next);
      std::uint32_t units = NodeUnits(node);
      link(next);
      next = NodeNext(node);
      if (units == 0) continue;  // swallowed by an earlier block
      last = node;
      for (std::uint8_t* after = node + U2B(units); NodeStamp(after) == kEmptyNode;
           after = node + U2B(units)) {
        units += NodeUnits(after);
        SetNodeUnits(after, 0);
        SetNodeUnits(node, units);
      }
    }
  }
  link(0);

  for (Ref r = head; r != 0;) {
    std::uint8_t* node = Ptr(r);
    std::uint32_t units = NodeUnits(node);
    r = NodeNext(node);
    if (units == 0) continue;
    for (; units > 128; units -= 128, node += U2B(128)) InsertNode(node, kNumIndexes - 1);
    unsigned index = U2I(units);
    if (I2U(index) != units) {
      const unsigned k = I2U(--index);
      InsertNode(node + U2B(k), units - k - 1);
    }
    InsertNode(node, index);
  }
}

std::uint8_t* Model::AllocUnitsRare(unsigned index) {
  if (glue_count_ == 0) {
    GlueFreeBlocks();
    if (free_list_[index] != 0) return RemoveNode(index);
  }
  unsigned i = index;
  do {
    if (++i == kNumIndexes) {
      // No larger free block: take the units from the top of the text area.
      const std::uint32_t bytes = U2B(I2U(index));
      --glue_count_;
      if (static_cast<std::uint32_t>(units_start_ - text_) > bytes) return units_start_ -= bytes;
      return nullptr;
    }
  } while (free_list_[i] == 0);
  std::uint8_t* block = RemoveNode(i);
  SplitBlock(block, i, index);
  return block;
}

std::uint8_t* Model::AllocUnits(unsigned index) {
  if (free_list_[index] != 0) return RemoveNode(index);
  const std::uint32_t bytes = U2B(I2U(index));
  if (static_cast<std::uint32_t>(hi_unit_ - lo_unit_) >= bytes) {
    std::uint8_t* block = lo_unit_;
    lo_unit_ += bytes;
    return block;
  }
  return AllocUnitsRare(index);
}

std::uint8_t* Model::AllocContext() {
  if (hi_unit_ != lo_unit_) return hi_unit_ -= kUnitSize;
  if (free_list_[0] != 0) return RemoveNode(0);
  return AllocUnitsRare(0);
}

std::uint8_t* Model::ShrinkUnits(std::uint8_t* old_block, unsigned old_units, unsigned new_units) {
  const unsigned i0 = U2I(old_units);
  const unsigned i1 = U2I(new_units);
  if (i0 == i1) return old_block;
  if (free_list_[i1] != 0) {
    std::uint8_t* block = RemoveNode(i1);
    std::memcpy(block, old_block, U2B(new_units));
    InsertNode(old_block, i0);
    return block;
  }
  SplitBlock(old_block, i0, i1);
  return old_block;
}

// ---- Model update ----------------------------------------------------------------

// Builds the chain of one-symbol contexts above c for the found symbol, up to
// the maximum order, from the text that follows its last occurrence. Updates
// the symbol's frequency in the suffixes it passes. Returns the highest new
// context, or a null context when memory runs out.
Context Model::CreateSuccessors(bool skip, State s1, Context c) {
  Ref up_branch = found_state_.successor();
  State chain[kMaxOrder + 1];
  unsigned num = 0;
  if (!skip) chain[num++] = found_state_;

  while (c.suffix() != 0) {
    c = SuffixOf(c);
    State s;
    if (s1.address() != nullptr) {
      s = s1;
      s1 = State();
    } else if (c.num_stats() != 0) {
      const unsigned symbol = found_state_.symbol();
      for (s = StatsOf(c); s.symbol() != symbol; ++s) {
      }
      if (s.freq() < kMaxFreq - 9) {
        s.set_freq(s.freq() + 1);
        c.set_summ_freq(c.summ_freq() + 1);
      }
    } else {
      s = c.one_state();
      s.set_freq(s.freq() + (SuffixOf(c).num_stats() == 0 && s.freq() < 24));
    }
    const Ref successor = s.successor();
    if (successor != up_branch) {
      c = Ctx(successor);
      if (num == 0) return c;
      break;
    }
    chain[num++] = s;
  }

  const unsigned new_symbol = *Ptr(up_branch);
  ++up_branch;
  const unsigned flags = HighFlag4(found_state_.symbol()) + HighFlag3(new_symbol);
  unsigned new_freq;
  if (c.num_stats() == 0) {
    new_freq = c.one_state().freq();
  } else {
    State s = StatsOf(c);
    while (s.symbol() != new_symbol) ++s;
    const std::uint32_t cf = s.freq() - 1u;
    const std::uint32_t s0 = c.summ_freq() - c.num_stats() - cf;
    new_freq = 1 + ((2 * cf <= s0) ? (5 * cf > s0) : ((cf + 2 * s0 - 3) / s0));
  }

  do {
    std::uint8_t* at = AllocContext();
    if (at == nullptr) return Context();
    Context c1(at);
    c1.set_flags(flags);
    c1.set_num_stats(0);
    State one = c1.one_state();
    one.set_symbol(new_symbol);
    one.set_freq(new_freq);
    one.set_successor(up_branch);
    c1.set_suffix(RefOf(c.address()));
    chain[--num].set_successor(RefOf(at));
    c = c1;
  } while (num != 0);
  return c;
}

// The found state has no successor yet: points it and the suffix states on the
// way down that lack one at the text, and returns the first suffix context
// with a successor (built if it was text). Null when memory runs out.
Context Model::ReduceOrder(State s1, Context c) {
  State s;
  const Context start = c;
  const Ref up_branch = RefOf(text_);
  found_state_.set_successor(up_branch);
  ++order_fall_;
  for (;;) {
    if (s1.address() != nullptr) {
      c = SuffixOf(c);
      s = s1;
      s1 = State();
    } else {
      if (c.suffix() == 0) return c;
      c = SuffixOf(c);
      if (c.num_stats() != 0) {
        const unsigned symbol = found_state_.symbol();
        for (s = StatsOf(c); s.symbol() != symbol; ++s) {
        }
        if (s.freq() < kMaxFreq - 9) {
          s.set_freq(s.freq() + 2);
          c.set_summ_freq(c.summ_freq() + 2);
        }
      } else {
        s = c.one_state();
        s.set_freq(s.freq() + (s.freq() < 32));
      }
    }
    if (s.successor() != 0) break;
    s.set_successor(up_branch);
    ++order_fall_;
  }

  if (s.successor() <= up_branch) {
    const State found = found_state_;
    found_state_ = s;
    const Context successor = CreateSuccessors(false, State(), c);
    s.set_successor(successor.address() != nullptr ? RefOf(successor.address()) : 0);
    found_state_ = found;
  }
  const Ref successor = s.successor();
  if (order_fall_ == 1 && start == max_context_) {
    found_state_.set_successor(successor);
    --text_;
  }
  if (successor == 0) return Context();
  return Ctx(successor);
}

void Model::UpdateModel() {
  Ref min_successor = found_state_.successor();
  const unsigned f_freq = found_state_.freq();
  const unsigned f_symbol = found_state_.symbol();

  // Raise the symbol in the suffix context too.
  State suffix_state;
  if (f_freq < kMaxFreq / 4 && min_context_.suffix() != 0) {
    Context c = SuffixOf(min_context_);
    if (c.num_stats() == 0) {
      suffix_state = c.one_state();
      if (suffix_state.freq() < 32) suffix_state.set_freq(suffix_state.freq() + 1);
    } else {
      State s = StatsOf(c);
      if (s.symbol() != f_symbol) {
        do {
          ++s;
        } while (s.symbol() != f_symbol);
        if (s.freq() >= (s - 1).freq()) {
          SwapStates(s, s - 1);
          --s;
        }
      }
      if (s.freq() < kMaxFreq - 9) {
        s.set_freq(s.freq() + 2);
        c.set_summ_freq(c.summ_freq() + 2);
      }
      suffix_state = s;
    }
  }

  Context c = max_context_;
  if (order_fall_ == 0 && min_successor != 0) {
    const Context cs = CreateSuccessors(true, suffix_state, min_context_);
    if (cs.address() == nullptr) {
      found_state_.set_successor(0);
      OnMemoryExhausted();
      return;
    }
    found_state_.set_successor(RefOf(cs.address()));
    min_context_ = max_context_ = cs;
    return;
  }

  *text_++ = static_cast<std::uint8_t>(f_symbol);
  if (text_ > text_high_) text_high_ = text_;
  if (text_ >= units_start_) {
    OnMemoryExhausted();
    return;
  }
  Ref max_successor = RefOf(text_);

  if (min_successor == 0) {
    const Context cs = ReduceOrder(suffix_state, min_context_);
    if (cs.address() == nullptr) {
      OnMemoryExhausted();
      return;
    }
    min_successor = RefOf(cs.address());
  } else if (Ptr(min_successor) < units_start_) {
    const Context cs = CreateSuccessors(false, suffix_state, min_context_);
    if (cs.address() == nullptr) {
      OnMemoryExhausted();
      return;
    }
    min_successor = RefOf(cs.address());
  }

  if (--order_fall_ == 0) {
    max_successor = min_successor;
    text_ -= (max_context_ != min_context_);
  }

  // Add the symbol to every context from the longest down to the one it was
  // found in.
  const unsigned flag = HighFlag3(f_symbol);
  const unsigned ns = min_context_.num_stats();
  const std::uint32_t s0 = min_context_.summ_freq() - ns - f_freq;
  for (; c != min_context_; c = SuffixOf(c)) {
    const unsigned ns1 = c.num_stats();
    std::uint32_t sum;
    if (ns1 != 0) {
      if ((ns1 & 1) != 0) {
        // The state array is full: move it to a block one unit larger.
        const unsigned old_units = (ns1 + 1) >> 1;
        const unsigned i = U2I(old_units);
        if (i != U2I(old_units + 1)) {
          std::uint8_t* block = AllocUnits(i + 1);
          if (block == nullptr) {
            OnMemoryExhausted();
            return;
          }
          std::uint8_t* old_block = Ptr(c.stats());
          std::memcpy(block, old_block, U2B(old_units));
          InsertNode(old_block, i);
          c.set_stats(RefOf(block));
        }
      }
      sum = c.summ_freq();
      sum += (3 * ns1 + 1 < ns);
    } else {
      // A binary context gets its state array.
      std::uint8_t* block = AllocUnits(0);
      if (block == nullptr) {
        OnMemoryExhausted();
        return;
      }
      State first(block);
      const State one = c.one_state();
      unsigned freq = one.freq();
      first.set_symbol(one.symbol());
      first.set_successor(one.successor());
      c.set_stats(RefOf(block));
      freq = freq < kMaxFreq / 4 - 1 ? freq << 1 : kMaxFreq - 4;
      first.set_freq(freq);
      sum = freq + init_esc_ + (ns > 2);
    }

    State added = StatsOf(c) + (ns1 + 1);
    std::uint32_t cf = 2 * (sum + 6) * f_freq;
    const std::uint32_t sf = s0 + sum;
    added.set_symbol(f_symbol);
    c.set_num_stats(ns1 + 1);
    added.set_successor(max_successor);
    c.set_flags(c.flags() | flag);
    if (cf < 6 * sf) {
      cf = 1 + (cf > sf) + (cf >= 4 * sf);
      sum += 4;
    } else {
      cf = 4 + (cf > 9 * sf) + (cf > 12 * sf) + (cf > 15 * sf);
      sum += cf;
    }
    c.set_summ_freq(sum);
    added.set_freq(cf);
  }
  max_context_ = min_context_ = Ctx(min_successor);
}

// Halves the frequencies of the current context (keeping them sorted, the found
// state first) and drops the states that fall to zero.
void Model::Rescale() {
  Context mc = min_context_;
  const State stats = StatsOf(mc);
  State s = found_state_;
  if (s != stats) {
    std::uint8_t found[State::kSize];
    std::memcpy(found, s.address(), State::kSize);
    do {
      s.Assign(s - 1);
      --s;
    } while (s != stats);
    std::memcpy(s.address(), found, State::kSize);
  }

  unsigned sum_freq = s.freq();
  unsigned esc_freq = mc.summ_freq() - sum_freq;
  const unsigned adder = order_fall_ != 0;
  sum_freq = (sum_freq + 4 + adder) >> 1;
  s.set_freq(sum_freq);
  unsigned i = mc.num_stats();
  do {
    ++s;
    unsigned freq = s.freq();
    esc_freq -= freq;
    freq = (freq + adder) >> 1;
    sum_freq += freq;
    s.set_freq(freq);
    if (freq > (s - 1).freq()) {
      std::uint8_t moved[State::kSize];
      std::memcpy(moved, s.address(), State::kSize);
      State t = s;
      do {
        t.Assign(t - 1);
        --t;
      } while (t != stats && freq > (t - 1).freq());
      std::memcpy(t.address(), moved, State::kSize);
    }
  } while (--i);

  if (s.freq() == 0) {
    unsigned removed = 0;
    do {
      ++removed;
      --s;
    } while (s.freq() == 0);
    esc_freq += removed;
    const unsigned num_stats = mc.num_stats();
    const unsigned num_stats_new = num_stats - removed;
    mc.set_num_stats(num_stats_new);
    const unsigned n0 = (num_stats + 2) >> 1;
    if (num_stats_new == 0) {
      unsigned freq = (2 * stats.freq() + esc_freq - 1) / esc_freq;
      if (freq > kMaxFreq / 3) freq = kMaxFreq / 3;
      mc.set_flags((mc.flags() & kFlagPrevHigh) + HighFlag3(stats.symbol()));
      State one = mc.one_state();
      one.Assign(stats);
      one.set_freq(freq);
      found_state_ = one;
      InsertNode(stats.address(), U2I(n0));
      return;
    }
    const unsigned n1 = (num_stats_new + 2) >> 1;
    if (n0 != n1) mc.set_stats(RefOf(ShrinkUnits(stats.address(), n0, n1)));
  }
  mc.set_summ_freq(sum_freq + esc_freq - (esc_freq >> 1));
  mc.set_flags(mc.flags() | kFlagRescaled);
  found_state_ = StatsOf(mc);
}

See& Model::EscapeFrequency(unsigned num_masked, std::uint32_t* esc_freq) {
  const Context mc = min_context_;
  const unsigned num_stats = mc.num_stats();
  if (num_stats == 0xFF) {
    // The order-0 context with every symbol: escapes are rare, no estimate.
    *esc_freq = 1;
    return dummy_see_;
  }
  See& see = see_[tables::kTables.ns2indx[num_stats + 2] - 3]
                 [(mc.summ_freq() > 11 * (num_stats + 1)) +
                  2 * (2 * num_stats < SuffixOf(mc).num_stats() + num_masked) + mc.flags()];
  const unsigned summ = see.summ;
  const unsigned r = summ >> see.shift;
  see.summ = static_cast<std::uint16_t>(summ - r);
  *esc_freq = r + (r == 0);
  return see;
}

}  // namespace qvx::ppmd

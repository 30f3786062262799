// PPMd variant I codec: known-answer streams of the reference coder, the model
// restart, round trips, hostile streams, memory failures and wiping.
// (tests/engine/ppmd_oracle.py cross-checks against 7zz itself when present.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/ppmd/byte_stream.h"
#include "engine/ppmd/decoder.h"
#include "engine/ppmd/encoder.h"
#include "engine/ppmd/model.h"
#include "engine/ppmd/ppmd.h"
#include "engine/sha256.h"
#include "platform/files.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadData(const std::string& name) {
  auto data = NativeFileSystem().ReadFile(test::DataPath("ppmd/" + name));
  if (!data) ADD_FAILURE() << "cannot read test data " << name << ": " << data.error().detail;
  return data ? *data : Bytes();
}

Bytes Compress(const Bytes& data) {
  SecureBytes out;
  const Status st = ppmd::CompressAppend(data.data(), data.size(), out);
  EXPECT_TRUE(st) << (st ? "" : st.error().detail);
  return Bytes(out.begin(), out.end());
}

// One model block for many calls, for the tests that decode thousands of
// short streams (a fresh 10 MiB each time is slow under the sanitizers).
class ReusedModelMemory final : public ppmd::ModelAllocator {
 public:
  void* Allocate(std::size_t size) noexcept override {
    if (in_use_) return nullptr;
    block_.resize(size);
    in_use_ = true;
    return block_.data();
  }
  void Release(void*, std::size_t) noexcept override { in_use_ = false; }

 private:
  std::vector<std::uint8_t> block_;
  bool in_use_ = false;
};

// Decodes from a heap block of exactly the stream's size, so that the
// sanitizer build catches any read beyond it.
Result<SecureBytes> Decompress(const Bytes& stream, ppmd::ModelAllocator& memory = ppmd::HeapModelAllocator()) {
  const auto exact = std::make_unique<std::uint8_t[]>(stream.size() + (stream.empty() ? 1 : 0));
  if (!stream.empty()) std::memcpy(exact.get(), stream.data(), stream.size());
  return ppmd::Decompress(exact.get(), stream.size(), memory);
}

Bytes AsBytes(const SecureBytes& b) { return Bytes(b.begin(), b.end()); }

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Varied synthetic text: words from 65536 random words between blanks and
// punctuation (the same generator as in ppmd_oracle.py). Its first 2 MiB
// exhaust the 10 MiB model once, at about 1.34 MB.
Bytes XorshiftText(std::size_t size) {
  std::uint32_t state = 0x9E3779B9;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  std::vector<std::string> vocabulary;
  vocabulary.reserve(65536);
  for (int i = 0; i < 65536; ++i) {
    std::string word;
    const std::uint32_t length = 1 + next() % 12;
    for (std::uint32_t k = 0; k < length; ++k) word += static_cast<char>('a' + next() % 26);
    if (next() % 8 == 0) word[0] = static_cast<char>(word[0] - 32);
    vocabulary.push_back(std::move(word));
  }
  static const char* const separators[16] = {" ", " ", " ", " ", " ", " ", " ", " ",
                                             " ", " ", ", ", ". ", "; ", "\r\n", " - ", ": "};
  std::string out;
  out.reserve(size + 32);
  while (out.size() < size) {
    const std::uint32_t r = next();
    out += vocabulary[r & 0xFFFF];
    out += separators[(r >> 16) % 16];
  }
  out.resize(size);
  return Text(out);
}

// Hands out zero-filled blocks and, on release, checks that the model left
// nothing behind.
class CheckingAllocator final : public ppmd::ModelAllocator {
 public:
  void* Allocate(std::size_t size) noexcept override {
    ++allocations;
    auto* block = new (std::nothrow) std::uint8_t[size];
    if (block != nullptr) std::memset(block, 0, size);
    return block;
  }
  void Release(void* block, std::size_t size) noexcept override {
    const auto* bytes = static_cast<const std::uint8_t*>(block);
    for (std::size_t i = 0; i < size; ++i) {
      if (bytes[i] != 0) {
        ++unwiped_blocks;
        break;
      }
    }
    ++releases;
    delete[] bytes;
  }
  int allocations = 0;
  int releases = 0;
  int unwiped_blocks = 0;
};

class NoMemory final : public ppmd::ModelAllocator {
 public:
  void* Allocate(std::size_t) noexcept override { return nullptr; }
  void Release(void*, std::size_t) noexcept override {}
};

// ---- Known answers -------------------------------------------------------------

TEST(Ppmd, StreamsEqualTheReferenceCoder) {
  for (const char* name : {"empty", "one_byte", "abc", "all_bytes", "random", "runs", "letter"}) {
    SCOPED_TRACE(name);
    const Bytes input = ReadData(std::string(name) + ".in");
    const Bytes stream = ReadData(std::string(name) + ".ppmd");
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(test::ToHex(Compress(input)), test::ToHex(stream));
    auto decoded = Decompress(stream);
    ASSERT_TRUE(decoded) << decoded.error().detail;
    EXPECT_EQ(AsBytes(*decoded), input);
  }
}

TEST(Ppmd, ModelRestartMatchesTheReferenceCoder) {
  const Bytes text = XorshiftText(std::size_t{2} << 20);
  // The restart itself: the model runs out of memory once in this text.
  ppmd::ChunkedBuffer stream;
  CheckingAllocator allocator;
  {
    ppmd::Model model(allocator);
    ASSERT_TRUE(model.Allocate(static_cast<std::uint32_t>(ppmd::kModelMemory)));
    ppmd::Encoder encoder(model, ppmd::kModelOrder, stream);
    encoder.Encode(text.data(), text.size());
    encoder.Finish();
    EXPECT_EQ(model.restarts(), 1u);
  }
  EXPECT_EQ(allocator.unwiped_blocks, 0) << "the model memory was released unwiped";
  SecureBytes ours;
  stream.MoveAppendTo(ours);
  // Size and SHA-256 of the stream 7zz writes for this text.
  EXPECT_EQ(ours.size(), 973541u);
  EXPECT_EQ(test::ToHex(Sha256Of(ours.data(), ours.size())),
            "c67fa4833a5e5abd4ab0c4c5a4232a66a78ed290e0f528e9bea0d3397c508e77");

  auto decoded = ppmd::Decompress(ours.data(), ours.size(), allocator);
  ASSERT_TRUE(decoded) << decoded.error().detail;
  EXPECT_TRUE(AsBytes(*decoded) == text);
  EXPECT_EQ(allocator.releases, 2);
  EXPECT_EQ(allocator.unwiped_blocks, 0) << "the model memory was released unwiped";
}

// ---- Round trips ---------------------------------------------------------------

TEST(Ppmd, RoundTrips) {
  auto rng = test::Rng("ppmd-round-trip");
  std::vector<std::pair<std::string, Bytes>> inputs = {
      {"one NUL", Bytes(1, 0)},
      {"run of one byte", Bytes(100000, 'x')},
      {"run of 0xFF", Bytes(5000, 0xFF)},
      {"two alternating bytes", {}},
      {"text with CR LF and a NUL", Text(std::string(2000, ' ') + "Hello,\r\nworld\r\n" + std::string(1, '\0'))},
      {"high bytes only", {}},
      {"random, short", test::RandomBytes(rng, 1 + rng() % 64)},
      {"random, 70000", test::RandomBytes(rng, 70000)},
      {"xorshift text", XorshiftText(300000)},
  };
  for (int i = 0; i < 30000; ++i) inputs[3].second.push_back(i % 2 ? 'a' : 'b');
  for (int i = 0; i < 20000; ++i) inputs[5].second.push_back(static_cast<std::uint8_t>(0x80 + rng() % 128));
  // A text over a small alphabet with runs of changing length.
  Bytes mixed;
  for (int i = 0; i < 3000; ++i) mixed.insert(mixed.end(), 1 + rng() % 40, static_cast<std::uint8_t>('a' + rng() % 5));
  inputs.emplace_back("runs over a small alphabet", mixed);

  for (const auto& [name, data] : inputs) {
    SCOPED_TRACE(name);
    const Bytes stream = Compress(data);
    auto decoded = Decompress(stream);
    ASSERT_TRUE(decoded) << decoded.error().detail;
    EXPECT_TRUE(AsBytes(*decoded) == data);
    EXPECT_EQ(decoded->capacity(), decoded->size()) << "output not sized to its contents";
    EXPECT_EQ(Compress(data), stream) << "each call must start from a fresh model";
  }
}

TEST(Ppmd, CompressAppendKeepsWhatTheBufferHolds) {
  const Bytes text = ReadData("letter.in");
  const Bytes stream = ReadData("letter.ppmd");
  SecureBytes out = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(ppmd::CompressAppend(text.data(), text.size(), out));
  ASSERT_EQ(out.size(), 8 + stream.size());
  EXPECT_EQ(out.capacity(), out.size());
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(Bytes(out.begin() + 8, out.end()), stream);
}

TEST(Ppmd, CallsOnSeveralThreadsAreIndependent) {
  const Bytes a = ReadData("letter.in");
  const Bytes b = XorshiftText(50000);
  const Bytes expected_a = Compress(a);
  const Bytes expected_b = Compress(b);
  Bytes got_a, got_b;
  std::thread t1([&] { for (int i = 0; i < 3; ++i) got_a = Compress(a); });
  std::thread t2([&] { for (int i = 0; i < 3; ++i) got_b = Compress(b); });
  t1.join();
  t2.join();
  EXPECT_EQ(got_a, expected_a);
  EXPECT_EQ(got_b, expected_b);
}

// ---- Hostile streams ------------------------------------------------------------

void ExpectCorrupted(const Bytes& stream, const std::string& what) {
  static ReusedModelMemory memory;
  auto decoded = Decompress(stream, memory);
  ASSERT_FALSE(decoded) << what << " decoded to " << decoded->size() << " bytes";
  EXPECT_EQ(decoded.code(), Errc::Corrupted) << what << ": " << decoded.error().detail;
}

TEST(Ppmd, RejectsEveryTruncation) {
  for (const char* name : {"letter", "all_bytes", "abc"}) {
    const Bytes stream = ReadData(std::string(name) + ".ppmd");
    for (std::size_t n = 0; n < stream.size(); ++n) {
      ExpectCorrupted(Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(n)),
                      std::string(name) + " cut to " + std::to_string(n) + " bytes");
    }
  }
}

TEST(Ppmd, RejectsDataAfterTheEndMark) {
  const Bytes stream = ReadData("letter.ppmd");
  const std::vector<std::pair<std::string, Bytes>> tails = {
      {"a NUL", {0}}, {"0xFF", {0xFF}}, {"two bytes", {0x12, 0x34}}, {"the stream again", stream}};
  for (const auto& [what, tail] : tails) {
    Bytes longer = stream;
    longer.insert(longer.end(), tail.begin(), tail.end());
    ExpectCorrupted(longer, "stream followed by " + what);
  }
}

TEST(Ppmd, RejectsDamagedStreams) {
  const Bytes stream = ReadData("letter.ppmd");
  for (std::size_t i = 0; i < stream.size(); ++i) {
    for (std::uint8_t flip : {0x01, 0x80}) {
      Bytes damaged = stream;
      damaged[i] ^= flip;
      ExpectCorrupted(damaged, "bit flip in byte " + std::to_string(i));
    }
  }
  ExpectCorrupted({0xFF, 0xFF, 0xFF, 0xFF, 0x00}, "a code no encoder starts with");
}

TEST(Ppmd, RejectsGarbageWithoutEndMark) {
  auto rng = test::Rng("ppmd-garbage");
  for (int i = 0; i < 300; ++i) {
    ExpectCorrupted(test::RandomBytes(rng, rng() % 3000), "random bytes #" + std::to_string(i));
  }
  // Inputs that decode symbol after symbol and never reach the end mark.
  ExpectCorrupted(Bytes(3000, 0x00), "zeros");
  ExpectCorrupted(Bytes(100000, 0x55), "a repeated byte");
  const Bytes text_stream = Compress(XorshiftText(200000));
  ExpectCorrupted(Bytes(text_stream.begin(), text_stream.end() - 6), "a long stream without its end");
}

// ---- Output limit ----------------------------------------------------------------

void ExpectOverLimit(const Result<SecureBytes>& decoded, const std::string& what) {
  ASSERT_FALSE(decoded) << what << " decoded to " << decoded->size() << " bytes";
  EXPECT_EQ(decoded.code(), Errc::Corrupted) << what;
  EXPECT_EQ(decoded.error().detail, ppmd::kOverLimitDetail) << what;
}

TEST(Ppmd, DecodesUpToTheOutputLimitAndNoFurther) {
  const Bytes letter = ReadData("letter.ppmd");
  const Bytes empty = ReadData("empty.ppmd");
  const std::size_t n = ReadData("letter.in").size();
  struct Case {
    const char* what;
    const Bytes& stream;
    std::size_t limit;
    bool fits;
  };
  const Case cases[] = {
      {"limit at the size", letter, n, true},   {"limit one above", letter, n + 1, true},
      {"no limit", letter, SIZE_MAX, true},     {"limit one below", letter, n - 1, false},
      {"limit 1", letter, 1, false},            {"limit 0", letter, 0, false},
      {"empty text, limit 0", empty, 0, true},
  };
  static ReusedModelMemory memory;
  for (const Case& c : cases) {
    auto decoded = ppmd::Decompress(c.stream.data(), c.stream.size(), ppmd::OutputLimit{c.limit}, memory);
    if (c.fits) {
      EXPECT_TRUE(decoded) << c.what << ": " << decoded.error().detail;
    } else {
      ExpectOverLimit(decoded, c.what);
    }
  }
  // A stream cut short says so, also when it is cut right at the limit.
  auto cut = ppmd::Decompress(letter.data(), letter.size() - 1, ppmd::OutputLimit{n}, memory);
  ASSERT_FALSE(cut);
  EXPECT_NE(cut.error().detail, ppmd::kOverLimitDetail);
}

// The crafted stream: 110,302 bytes that decode to 300,000,000 bytes of 'a'
// (a long run costs under 0.003 bit a byte), beyond every default limit.
TEST(Ppmd, CraftedLongRunStopsAtTheLimitWithinItsMemory) {
  const Bytes bomb = ReadData("bomb_run_300m.ppmd");
  ASSERT_EQ(bomb.size(), 110302u);
  static ReusedModelMemory memory;
  for (std::size_t limit : {std::size_t{1}, std::size_t{4095}, std::size_t{4097}, (std::size_t{3} << 20) + 5}) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    ppmd::ChunkedBuffer sink(limit);
    {
      ppmd::Model model(memory);
      ASSERT_TRUE(model.Allocate(static_cast<std::uint32_t>(ppmd::kModelMemory)));
      ppmd::MemorySource source(bomb.data(), bomb.size());
      ppmd::Decoder decoder(model, ppmd::kModelOrder, source);
      const Status st = decoder.DecodeAll(sink, limit);
      ASSERT_FALSE(st);
      EXPECT_EQ(st.error().detail, ppmd::kOverLimitDetail);
    }
    EXPECT_EQ(sink.size(), limit);
    EXPECT_EQ(sink.allocated(), limit) << "output memory beyond the limit";
  }
  // Through the entry point, with its default limit.
  ExpectOverLimit(Decompress(bomb, memory), "the crafted stream");
}

// Records every report and says stop at the given one.
class RecordingProgress final : public ppmd::DecodeProgress {
 public:
  explicit RecordingProgress(std::size_t stop_at) : stop_at_(stop_at) {}
  bool Continue(std::size_t input_read, std::size_t output_size) override {
    reports.push_back({input_read, output_size});
    return reports.size() != stop_at_;
  }
  std::vector<std::pair<std::size_t, std::size_t>> reports;

 private:
  std::size_t stop_at_;
};

TEST(Ppmd, ProgressSeesTheDecodeAdvanceAndCanStopIt) {
  const Bytes bomb = ReadData("bomb_run_300m.ppmd");
  static ReusedModelMemory memory;
  for (std::size_t stop_at : {1, 3, 0}) {  // 0: never
    SCOPED_TRACE("stop at report " + std::to_string(stop_at));
    RecordingProgress progress(stop_at);
    const std::size_t limit = std::size_t{5} << 20;
    auto decoded = ppmd::Decompress(bomb.data(), bomb.size(), ppmd::OutputLimit{limit}, memory, &progress);
    ASSERT_FALSE(decoded);
    EXPECT_EQ(decoded.code(), stop_at != 0 ? Errc::Cancelled : Errc::Corrupted);
    if (stop_at != 0) {
      ASSERT_EQ(progress.reports.size(), stop_at);
    } else {
      ASSERT_GE(progress.reports.size(), 5u) << "about one report a MiB";
    }
    for (std::size_t i = 1; i < progress.reports.size(); ++i) {
      EXPECT_GE(progress.reports[i].first, progress.reports[i - 1].first);
      EXPECT_GT(progress.reports[i].second, progress.reports[i - 1].second);
      EXPECT_LE(progress.reports[i].second - progress.reports[i - 1].second, std::size_t{1} << 20);
    }
    EXPECT_LE(progress.reports.back().first, bomb.size());
    EXPECT_LE(progress.reports.back().second, limit);
  }
  // The whole stream read by the end of a decode that succeeds.
  const Bytes letter = ReadData("letter.ppmd");
  RecordingProgress progress(0);
  ASSERT_TRUE(ppmd::Decompress(letter.data(), letter.size(), ppmd::OutputLimit{}, memory, &progress));
  ASSERT_FALSE(progress.reports.empty());
  EXPECT_EQ(progress.reports.back().first, letter.size());
}

// ---- Memory -------------------------------------------------------------------

TEST(Ppmd, FailsCleanlyWithoutModelMemory) {
  NoMemory none;
  const Bytes text = ReadData("letter.in");
  SecureBytes out = {9, 9};
  const Status st = ppmd::CompressAppend(text.data(), text.size(), out, none);
  ASSERT_FALSE(st);
  EXPECT_EQ(st.code(), Errc::OutOfMemory);
  EXPECT_EQ(out, (SecureBytes{9, 9}));

  const Bytes stream = ReadData("letter.ppmd");
  auto decoded = ppmd::Decompress(stream.data(), stream.size(), none);
  ASSERT_FALSE(decoded);
  EXPECT_EQ(decoded.code(), Errc::OutOfMemory);
}

TEST(Ppmd, WipesTheModelMemory) {
  CheckingAllocator allocator;
  const Bytes text = ReadData("letter.in");
  SecureBytes stream;
  ASSERT_TRUE(ppmd::CompressAppend(text.data(), text.size(), stream, allocator));
  auto decoded = ppmd::Decompress(stream.data(), stream.size(), allocator);
  ASSERT_TRUE(decoded);
  // Also after a failure part-way.
  EXPECT_FALSE(ppmd::Decompress(stream.data(), stream.size() - 1, allocator));
  EXPECT_EQ(allocator.allocations, 3);
  EXPECT_EQ(allocator.releases, 3);
  EXPECT_EQ(allocator.unwiped_blocks, 0);
}

}  // namespace
}  // namespace qvx

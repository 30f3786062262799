// The hardened crypto-text block: known-answer vectors, round trips in both
// modes, every changed byte rejected, the cost bounds of the header, the
// padding rule, and texts that mix both formats.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/base64.h"
#include "engine/cryptotext.h"
#include "engine/hardened_block.h"
#include "engine/password_key.h"
#include "tests/support/scripted_passwords.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

std::string VectorPath(std::string_view name) {
  return test::DataPath("../../docs/cryptotext-format-2-vectors/" + std::string(name));
}

using test::ScriptedPasswords;

// Cheap enough for the sanitizer and qemu runs; the cost is stored in the
// block, so readers follow it.
constexpr Argon2Params kCheap{64, 1, 1};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

template <std::size_t N>
std::array<std::uint8_t, N> Counting(std::uint8_t first) {
  std::array<std::uint8_t, N> a{};
  for (std::size_t i = 0; i < N; ++i) a[i] = static_cast<std::uint8_t>(first + i);
  return a;
}

Key256 KeyFrom(std::uint8_t first) {
  Key256 key;
  for (std::size_t i = 0; i < key.size(); ++i) key.data()[i] = static_cast<std::uint8_t>(first + i);
  return key;
}

// Opens the slot it was told about with a fixed content key; any other set
// of slots is "no key held".
class FixedRecipients final : public RecipientKeys {
 public:
  FixedRecipients(Key256 key, RecipientId mine) : key_(key), mine_(mine) {}

  Result<std::vector<RecipientSlot>> Wrap(const Key256& content_key) override {
    key_ = content_key;
    RecipientSlot slot;
    slot.key_id = mine_;
    slot.wrapped.assign(kMinWrappedSize, 0x5A);
    return std::vector<RecipientSlot>{slot};
  }
  Result<Key256> Unwrap(const std::vector<RecipientSlot>& slots) override {
    ++unwraps;
    for (const RecipientSlot& slot : slots) {
      if (slot.key_id == mine_) return key_;
    }
    return MakeError(Errc::NotFound, Msg::HardenedNoRecipientKey, BoxKind::Error, RecipientList(slots));
  }

  int unwraps = 0;

 private:
  Key256 key_;
  RecipientId mine_;
};

std::vector<RecipientSlot> VectorSlots() {
  std::vector<RecipientSlot> slots(2);
  slots[0].key_id = Counting<kRecipientIdSize>(0x10);
  slots[0].wrapped.assign(256, 0xA1);
  slots[1].key_id = Counting<kRecipientIdSize>(0x80);
  slots[1].wrapped.assign(128, 0xB2);
  return slots;
}

struct Outcome {
  Result<DecryptedText> result;
  std::vector<Msg> messages;
  int asks = 0;
};

Outcome Decrypt(std::string_view text, const std::string& password, RecipientKeys* recipients = nullptr,
                std::size_t max_text = kTrayMaxDecryptedText) {
  auto prompt = ScriptedPasswords::Always(password);
  CryptoTextOperation op(prompt, nullptr, nullptr, recipients);
  auto result = op.DecryptAllBlocks(text, DecryptLimits{max_text});
  auto messages = result ? test::MessageIds(result->notices) : test::MessageIds(result.error());
  return Outcome{std::move(result), std::move(messages), static_cast<int>(prompt.decryption_asks.size())};
}

std::string EncryptHardened(std::string_view text, const std::string& password,
                            RecipientKeys* recipients = nullptr) {
  auto prompt = ScriptedPasswords::Always(password);
  CryptoTextOperation op(prompt, nullptr, nullptr, recipients);
  op.set_hardened_cost(kCheap);
  auto block = op.EncryptText(text, recipients ? EnvelopeMode::Rsa : EnvelopeMode::Password, CryptoFormat::Hardened);
  EXPECT_TRUE(block) << block.error().detail;
  return block ? *block : std::string();
}

std::vector<std::uint8_t> BlockBytes(const std::string& armoured) {
  auto span = FindNextBlock(armoured, 0);
  EXPECT_TRUE(span && span->format == CryptoFormat::Hardened);
  auto body = ReadBlockBody(armoured, *span);
  auto bytes = Base64Decode(*body);
  EXPECT_TRUE(bytes);
  return bytes ? *bytes : std::vector<std::uint8_t>{};
}

// Known-answer vectors, kept beside the format's description
// (docs/cryptotext-format-2-vectors/README.md lists the inputs).
// QVX_WRITE_VECTORS=1 writes them anew instead of comparing.
TEST(HardenedBlock, KnownAnswerVectors) {
  const std::string plain = ReadFile(VectorPath("vector.plain"));
  ASSERT_FALSE(plain.empty());
  const Argon2Params cost{1024, 2, 2};
  auto password = SealHardenedPasswordText(plain, PasswordToKey("Quorvix vector"), Counting<kSaltSize>(0),
                                           Counting<kNonceSize>(0xA0), cost);
  ASSERT_TRUE(password) << password.error().detail;
  auto recipients =
      SealHardenedRecipientsText(plain, KeyFrom(0x40), VectorSlots(), Counting<kNonceSize>(0xC0));
  ASSERT_TRUE(recipients) << recipients.error().detail;
  const char* write = std::getenv("QVX_WRITE_VECTORS");
  if (write != nullptr && std::string(write) == "1") {
    std::ofstream(VectorPath("password.txt"), std::ios::binary) << *password;
    std::ofstream(VectorPath("recipients.txt"), std::ios::binary) << *recipients;
  }
  EXPECT_EQ(*password, ReadFile(VectorPath("password.txt")));
  EXPECT_EQ(*recipients, ReadFile(VectorPath("recipients.txt")));

  // And they read back: the password one with the password, the recipients
  // one with the content key of its first slot.
  const Outcome by_password = Decrypt(ReadFile(VectorPath("password.txt")), "Quorvix vector");
  ASSERT_TRUE(by_password.result) << by_password.result.error().detail;
  EXPECT_EQ(by_password.result->text.view(), plain);
  FixedRecipients keys(KeyFrom(0x40), VectorSlots()[1].key_id);
  const Outcome by_key = Decrypt(ReadFile(VectorPath("recipients.txt")), "", &keys);
  ASSERT_TRUE(by_key.result) << by_key.result.error().detail;
  EXPECT_EQ(by_key.result->text.view(), plain);
}

TEST(HardenedBlock, RoundTripsInBothModes) {
  auto rng = test::Rng("hardened-roundtrip");
  const auto random = test::RandomBytes(rng, 70000);
  const std::string texts[] = {"", "a", std::string("nul\0inside", 10), "line\r\nline\nline\r",
                               std::string(random.begin(), random.end()), std::string(300000, 'x')};
  for (const std::string& text : texts) {
    const std::string by_password = EncryptHardened(text, "pass word");
    EXPECT_FALSE(FindArmour(by_password, kCryptoMarkers)) << "a format-1 reader must not see it";
    const Outcome opened = Decrypt(by_password, "pass word");
    ASSERT_TRUE(opened.result) << opened.result.error().detail;
    EXPECT_EQ(opened.result->text.view(), text);

    FixedRecipients keys(KeyFrom(1), Counting<kRecipientIdSize>(7));
    const std::string by_key = EncryptHardened(text, "", &keys);
    const Outcome unwrapped = Decrypt(by_key, "", &keys);
    ASSERT_TRUE(unwrapped.result) << unwrapped.result.error().detail;
    EXPECT_EQ(unwrapped.result->text.view(), text);
  }
}

TEST(HardenedBlock, EqualTextsGiveUnrelatedBlocks) {
  // Fresh salt and nonce each time: nothing repeats, not even for one password.
  const std::string a = EncryptHardened("same text", "pw");
  const std::string b = EncryptHardened("same text", "pw");
  EXPECT_NE(a, b);
  const auto ba = BlockBytes(a), bb = BlockBytes(b);
  ASSERT_EQ(ba.size(), bb.size());
  EXPECT_NE(std::vector<std::uint8_t>(ba.begin() + 18, ba.begin() + 34),
            std::vector<std::uint8_t>(bb.begin() + 18, bb.begin() + 34));
}

TEST(HardenedBlock, WrongPasswordIsToldAsSuch) {
  const Outcome o = Decrypt(EncryptHardened("secret", "right"), "wrong");
  ASSERT_FALSE(o.result);
  EXPECT_EQ(o.result.code(), Errc::WrongPassword);
  EXPECT_EQ(o.messages, (std::vector<Msg>{Msg::HardenedWrongPasswordOrChanged, Msg::DecryptionError}));
}

// Every single-byte change of the decoded block is rejected: the tag covers
// the header as associated data and the ciphertext.
TEST(HardenedBlock, EverySingleByteChangeIsRejected) {
  auto rng = test::Rng("hardened-flip");
  std::cout << "seed " << test::Seed() << "\n";
  FixedRecipients keys(KeyFrom(3), Counting<kRecipientIdSize>(9));
  for (bool password : {true, false}) {
    const std::string block = password ? EncryptHardened("flip me", "pw") : EncryptHardened("flip me", "", &keys);
    const auto bytes = BlockBytes(block);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      auto changed = bytes;
      changed[i] ^= static_cast<std::uint8_t>(1 + rng() % 255);
      const Outcome o = Decrypt(ArmourHardened(changed), "pw", &keys);
      EXPECT_FALSE(o.result) << (password ? "password" : "recipients") << " byte " << i;
    }
    // Cut short at every length, and one byte longer.
    for (std::size_t n = 0; n < bytes.size(); n += 7) {
      std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
      EXPECT_FALSE(Decrypt(ArmourHardened(cut), "pw", &keys).result) << n;
    }
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(Decrypt(ArmourHardened(longer), "pw", &keys).result);
  }
}

// A header asking for more work than the bounds is refused before the
// password is asked or any memory is taken.
TEST(HardenedBlock, KdfCostFromTheHeaderIsCapped) {
  struct Case {
    Argon2Params cost;
    bool accepted;
  };
  const Case cases[] = {
      {{kMaxArgon2MemoryKib, kMaxArgon2Passes, kMaxArgon2Lanes}, true},
      {{8, 1, 1}, true},
      {{kMaxArgon2MemoryKib + 1, 1, 1}, false},
      {{0xFFFFFFFFu, 1, 1}, false},
      {{1024, kMaxArgon2Passes + 1, 1}, false},
      {{1024, 0xFFFFFFFFu, 1}, false},
      {{1024, 0, 1}, false},
      {{1024, 1, 0}, false},
      {{1024, 1, kMaxArgon2Lanes + 1}, false},
      {{7, 1, 1}, false},  // below 8 KiB per lane
      {{64, 1, 9}, false},
  };
  const auto bytes = BlockBytes(EncryptHardened("cost", "pw"));
  for (const Case& c : cases) {
    EXPECT_EQ(Argon2ParamsAcceptable(c.cost), c.accepted) << c.cost.memory_kib << " " << c.cost.passes;
    if (c.accepted) continue;
    auto changed = bytes;
    for (int i = 0; i < 4; ++i) {
      changed[6 + i] = static_cast<std::uint8_t>(c.cost.memory_kib >> (8 * i));
      changed[10 + i] = static_cast<std::uint8_t>(c.cost.passes >> (8 * i));
      changed[14 + i] = static_cast<std::uint8_t>(c.cost.lanes >> (8 * i));
    }
    const Outcome o = Decrypt(ArmourHardened(changed), "pw");
    ASSERT_FALSE(o.result);
    EXPECT_EQ(o.result.code(), Errc::Unsupported);
    EXPECT_EQ(o.messages, (std::vector<Msg>{Msg::HardenedKdfCostRefused, Msg::DecryptionError}));
    EXPECT_EQ(o.asks, 0) << "refused before the password is asked";
  }
}

TEST(HardenedBlock, PaddingBuckets) {
  struct Case {
    std::size_t size, padded;
  };
  const Case cases[] = {{0, 256}, {1, 256}, {256, 256}, {257, 272}, {1000, 1024}, {1025, 1088},
                        {65536, 65536}, {65537, 67584}, {0xFFFFFFFFu, 0}};
  for (const Case& c : cases) {
    const auto padded = PaddedInnerSize(c.size);
    if (c.padded == 0) {
      EXPECT_FALSE(padded) << c.size;
    } else {
      EXPECT_EQ(padded.value_or(0), c.padded) << c.size;
    }
  }
  // Never shorter, at most 12.5 % longer above the minimum, and monotonic.
  auto rng = test::Rng("padme");
  std::size_t previous = 0;
  for (std::size_t size = 200; size < (std::size_t{1} << 26); size += 1 + rng() % (size / 3 + 1)) {
    const std::size_t padded = PaddedInnerSize(size).value();
    EXPECT_GE(padded, size);
    EXPECT_LE(padded - size, std::max<std::size_t>(256, size / 8)) << size;
    EXPECT_GE(padded, previous);
    previous = padded;
  }
}

TEST(HardenedBlock, NoKeyHeldNamesTheRecipients) {
  auto slots = VectorSlots();
  auto block = SealHardenedRecipientsText("to others", KeyFrom(5), slots, Counting<kNonceSize>(1));
  ASSERT_TRUE(block);
  FixedRecipients keys(KeyFrom(5), Counting<kRecipientIdSize>(0xEE));
  const Outcome o = Decrypt(*block, "", &keys);
  ASSERT_FALSE(o.result);
  EXPECT_EQ(o.messages, (std::vector<Msg>{Msg::HardenedNoRecipientKey, Msg::DecryptionError}));
  EXPECT_EQ(o.result.error().messages[0].arg,
            "{11101312-1514-1716-1918-1B1A1D1C1F1E}\n{81808382-8584-8786-8988-8B8A8D8C8F8E}");
  // Without any key handler the block still names them.
  const Outcome none = Decrypt(*block, "");
  ASSERT_FALSE(none.result);
  EXPECT_EQ(none.result.error().messages[0].arg, o.result.error().messages[0].arg);
}

TEST(HardenedBlock, TextsMixingBothFormatsDecrypt) {
  auto prompt = ScriptedPasswords::Always("pw");
  CryptoTextOperation op(prompt);
  const std::string old_block = op.EncryptText("first, compatible").value();
  FixedRecipients keys(KeyFrom(2), Counting<kRecipientIdSize>(4));
  // Each block takes the line breaks on its outer sides with it.
  const std::string text = "head" + EncryptHardened("second, hardened", "pw") + "middle" + old_block +
                           EncryptHardened("third, to a key", "", &keys) + "tail";
  const Outcome o = Decrypt(text, "pw", &keys);
  ASSERT_TRUE(o.result) << o.result.error().detail;
  EXPECT_EQ(o.result->blocks, 3u);
  EXPECT_EQ(o.result->text.view(), "headsecond, hardenedmiddlefirst, compatiblethird, to a keytail");
  EXPECT_EQ(o.asks, 1) << "the common password serves both password blocks";
}

TEST(HardenedBlock, QuotedAndRewrappedBlocksRead) {
  std::string block = EncryptHardened("quoted text", "pw");
  block = block.substr(2, block.size() - 4);  // the marker lines without the outer line breaks
  std::string quoted;
  std::string line;
  for (char c : block) {
    if (c == '\r') continue;
    if (c == '\n') {
      quoted += "> " + line + "\n";
      line.clear();
    } else {
      line += c;
    }
  }
  quoted += "> " + line;
  const Outcome o = Decrypt("Wrote:\n" + quoted + "\nreply", "pw");
  ASSERT_TRUE(o.result) << o.result.error().detail;
  EXPECT_EQ(o.result->text.view(), "Wrote:quoted textreply");
}

TEST(HardenedBlock, EndLineMissingAndPlaintextLimit) {
  const std::string block = EncryptHardened(std::string(5000, 'z'), "pw");
  const std::string cut = block.substr(0, block.size() - kHardenedEndWritten.size());
  EXPECT_TRUE(ContainsCryptoText(cut));
  EXPECT_FALSE(FirstBlockHasEnd(cut));
  const Outcome missing = Decrypt(cut, "pw");
  ASSERT_TRUE(missing.result);
  EXPECT_TRUE(missing.result->end_line_missing);

  const Outcome over = Decrypt(block, "pw", nullptr, 4999);
  ASSERT_FALSE(over.result);
  EXPECT_EQ(over.result.code(), Errc::Corrupted);
  EXPECT_EQ(over.messages, (std::vector<Msg>{Msg::HardenedBlockDamaged, Msg::DecryptionError}));
}

TEST(HardenedBlock, DefaultCostIsWithinItsOwnBounds) {
  EXPECT_TRUE(Argon2ParamsAcceptable(kDefaultArgon2));
  EXPECT_LE(kDefaultArgon2.memory_kib, 65536u) << "a 32-bit process takes at most 64 MiB for it";
}

}  // namespace
}  // namespace qvx

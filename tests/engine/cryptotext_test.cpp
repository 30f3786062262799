// Whole-text operations: encrypting a text into one block and decrypting every
// block of a text, with scripted passwords, messages and progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/base64.h"
#include "engine/checksum.h"
#include "engine/cryptotext.h"
#include "engine/envelope.h"
#include "engine/password_key.h"
#include "engine/payload.h"
#include "tests/support/scripted_passwords.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::ScriptedMessages;
using test::ScriptedPasswords;
using test::ScriptedProgress;

std::string Encrypt(std::string_view text, const std::string& password) {
  auto prompt = ScriptedPasswords::Always(password);
  CryptoTextOperation op(prompt);
  auto block = op.EncryptText(text);
  EXPECT_TRUE(block) << block.error().detail;
  return block ? *block : std::string();
}

struct Decrypted {
  Result<DecryptedText> result;
  std::vector<Msg> messages;
  ScriptedPasswords prompt;
};

Decrypted Decrypt(std::string_view text, ScriptedPasswords prompt) {
  CryptoTextOperation op(prompt);
  auto result = op.DecryptAllBlocks(text);
  // What the user is told: the failure's messages, or a success's notices.
  auto messages = result ? test::MessageIds(result->notices) : test::MessageIds(result.error());
  return Decrypted{std::move(result), std::move(messages), std::move(prompt)};
}

Decrypted DecryptWithin(std::string_view text, std::size_t max_text, ScriptedPasswords prompt) {
  CryptoTextOperation op(prompt);
  auto result = op.DecryptAllBlocks(text, DecryptLimits{max_text});
  auto messages = result ? test::MessageIds(result->notices) : test::MessageIds(result.error());
  return Decrypted{std::move(result), std::move(messages), std::move(prompt)};
}

std::string PlainOf(const Decrypted& d) {
  EXPECT_TRUE(d.result.ok()) << (d.result.ok() ? "" : d.result.error().detail);
  return d.result.ok() ? std::string(d.result->text.view()) : std::string();
}

std::string StringOf(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(CryptoText, RoundTripsKeepEveryByte) {
  auto rng = test::Rng("cryptotext-roundtrip");
  std::string crlf_text;
  for (int i = 0; i < 200; ++i) crlf_text += "line " + std::to_string(i) + " with CR LF\r\nand a lone LF\n";
  const std::string texts[] = {
      "",
      "a",
      "abc",
      std::string("\0", 1),
      std::string("nul\0inside\0", 11),
      crlf_text,
      StringOf(test::RandomBytes(rng, 5000)),
      StringOf(test::RandomBytes(rng, 1u << 20)),
  };
  for (const std::string& text : texts) {
    const std::string block = Encrypt(text, "pass word");
    ASSERT_TRUE(ContainsCryptoText(block));
    auto d = Decrypt(block, ScriptedPasswords::Always("pass word"));
    ASSERT_EQ(PlainOf(d), text) << "size " << text.size();
    EXPECT_EQ(d.result->blocks, 1u);
    EXPECT_TRUE(d.messages.empty());
  }
}

TEST(CryptoText, AbcComesBackExactly) {
  const std::string block = Encrypt("abc", "secret");
  EXPECT_EQ(block.substr(0, kCryptoStartWritten.size()), kCryptoStartWritten);
  EXPECT_EQ(block.substr(block.size() - kCryptoEndWritten.size()), kCryptoEndWritten);
  EXPECT_EQ(PlainOf(Decrypt(block, ScriptedPasswords::Always("secret"))), "abc");
}

// Every CR LF line of the text with the prefix in front; LF alone between
// lines when lf is set.
std::string Quoted(const std::string& prefix, const std::string& text, bool lf = false) {
  std::string out;
  std::size_t at = 0;
  for (;;) {
    const std::size_t next = text.find("\r\n", at);
    out += prefix + text.substr(at, next == std::string::npos ? std::string::npos : next - at);
    if (next == std::string::npos) return out;
    out += lf ? "\n" : "\r\n";
    at = next + 2;
  }
}

TEST(CryptoText, TextAroundBlocksIsKept) {
  const std::string b1 = Encrypt("first plaintext", "pw");
  const std::string b2 = Encrypt("second\r\nplaintext", "pw");
  struct Case {
    std::string text, plain;
  };
  const Case cases[] = {
      {"A" + b1 + "B" + b2 + "C", "Afirst plaintextBsecond\r\nplaintextC"},
      {b1 + b2, "first plaintextsecond\r\nplaintext"},
      {"A\r\n" + b1 + "\r\nB", "A\r\nfirst plaintext\r\nB"},
      // A start line without an end line after the last block stays as text.
      {b1 + "tail --- Start Of QVX Crypto-Text ---\r\nno end",
       "first plaintexttail --- Start Of QVX Crypto-Text ---\r\nno end"},
      {b1 + "tail\r\n--- Start Of QVX Crypto-Text ---\r\nno end",
       "first plaintexttail\r\n--- Start Of QVX Crypto-Text ---\r\nno end"},
      // A reply: an own block, then the quoted message with its block.
      {"Reply:" + b1 + "\r\nAnn wrote:\r\n" + Quoted("> ", "A" + b2 + "B"),
       "Reply:first plaintext\r\nAnn wrote:\r\n> Asecond\r\nplaintext> B"},
      // Blocks at two quote depths, one of them with LF alone.
      {Quoted("> > ", b1) + "\n" + Quoted(">", b2, true), "> > first plaintext> > \n>second\r\nplaintext>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlainOf(Decrypt(c.text, ScriptedPasswords::Always("pw"))), c.plain);
  }
}

TEST(CryptoText, PlaintextOfAllBlocksStaysWithinTheLimit) {
  const std::string b1 = Encrypt(std::string(1000, 'x'), "pw");
  const std::string b2 = Encrypt(std::string(500, 'y'), "pw");
  const std::string text = "A" + b1 + "B" + b2 + "C";
  struct Case {
    const char* what;
    std::string text;
    std::size_t limit;
    bool fits;
  };
  const Case cases[] = {
      {"two blocks, limit their sum", text, 1500, true},
      {"two blocks, one byte less", text, 1499, false},
      {"the first block alone past the limit", text, 999, false},
      {"one block, limit its size", b1, 1000, true},
      {"one block, limit 0", b1, 0, false},
      {"empty text in a block, limit 0", Encrypt("", "pw"), 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto d = DecryptWithin(c.text, c.limit, ScriptedPasswords::Always("pw"));
    if (c.fits) {
      EXPECT_TRUE(d.result) << d.result.error().detail;
      continue;
    }
    ASSERT_FALSE(d.result);
    EXPECT_EQ(d.result.code(), Errc::Corrupted);
    EXPECT_NE(d.result.error().detail.find("the limit for decrypted text"), std::string::npos)
        << d.result.error().detail;
    EXPECT_EQ(d.messages, (std::vector<Msg>{Msg::WrongPasswordOrBadData, Msg::DecryptionError}));
  }
}

// A crafted block of 154,574 bytes under the password "fuzz" whose text is
// 300,000,000 bytes of 'a': the tray's default limit stops it.
TEST(CryptoText, CraftedBlockStopsAtTheDefaultLimit) {
  std::ifstream in(test::DataPath("cryptotext/bomb_300m.txt"), std::ios::binary);
  const std::string block((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(block.size(), 154574u);
  auto d = Decrypt(block, ScriptedPasswords::Always("fuzz"));
  ASSERT_FALSE(d.result) << "decrypted to " << d.result->text.size() << " bytes";
  EXPECT_EQ(d.result.code(), Errc::Corrupted);
  EXPECT_NE(d.result.error().detail.find(std::to_string(kTrayMaxDecryptedText)), std::string::npos)
      << d.result.error().detail;
  EXPECT_EQ(d.messages, (std::vector<Msg>{Msg::WrongPasswordOrBadData, Msg::DecryptionError}));
}

TEST(CryptoText, LongDecodeShowsProgressAndCancelStopsIt) {
  std::ifstream in(test::DataPath("cryptotext/bomb_300m.txt"), std::ios::binary);
  const std::string bomb((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The envelope's display shows its 100 figures first (it deciphers 4800
  // blocks); the decode's own display comes after 4 MiB of text.
  for (int cancel_after : {-1, 101, 102}) {
    SCOPED_TRACE("cancel after " + std::to_string(cancel_after));
    auto prompt = ScriptedPasswords::Always("fuzz");
    ScriptedProgress progress;
    progress.cancel_after_updates = cancel_after;
    CryptoTextOperation op(prompt, &progress);
    auto d = op.DecryptAllBlocks(bomb, DecryptLimits{std::size_t{16} << 20});
    ASSERT_FALSE(d);
    EXPECT_EQ(progress.started, 2);
    EXPECT_EQ(progress.closed, 2);
    if (cancel_after < 0) {
      EXPECT_EQ(d.code(), Errc::Corrupted) << "the limit";
      EXPECT_EQ(test::MessageIds(d.error()),
                (std::vector<Msg>{Msg::WrongPasswordOrBadData, Msg::DecryptionError}));
    } else {
      EXPECT_EQ(d.code(), Errc::Cancelled);
      EXPECT_TRUE(test::MessageIds(d.error()).empty());
    }
  }
  // A short text decodes without a display of its own.
  auto prompt = ScriptedPasswords::Always("pw");
  ScriptedProgress progress;
  CryptoTextOperation op(prompt, &progress);
  ASSERT_TRUE(op.DecryptAllBlocks(Encrypt(std::string(100000, 'q'), "pw")));
  EXPECT_EQ(progress.started, 0);
}

TEST(CryptoText, StartLineWithoutEndLineGivesTheTextBack) {
  const std::string block = Encrypt("hidden", "pw");
  const std::string cut = "before" + block.substr(0, block.size() / 2);
  auto d = Decrypt(cut, ScriptedPasswords::Always("pw"));
  ASSERT_TRUE(d.result);
  EXPECT_TRUE(d.result->end_line_missing);
  EXPECT_EQ(d.result->text.view(), cut);
  EXPECT_EQ(d.messages, std::vector<Msg>{Msg::CryptoEndNotFound});
  EXPECT_TRUE(d.prompt.decryption_asks.empty());
  // The same when the cut block was quoted.
  std::string quoted;
  for (std::size_t at = 0; at < cut.size();) {
    const std::size_t next = std::min(cut.find("\r\n", at), cut.size());
    quoted += "> " + cut.substr(at, next + 2 - at);
    at = next + 2;
  }
  auto q = Decrypt(quoted, ScriptedPasswords::Always("pw"));
  ASSERT_TRUE(q.result);
  EXPECT_TRUE(q.result->end_line_missing);
  EXPECT_EQ(q.result->text.view(), quoted);
  EXPECT_EQ(q.messages, std::vector<Msg>{Msg::CryptoEndNotFound});
  // A cut quoted block before a whole one: its start line reaches the other
  // block's end line, and what lies between is no body. Nothing is asked.
  auto both = Decrypt(quoted + "\r\n" + block, ScriptedPasswords::Always("pw"));
  ASSERT_FALSE(both.result);
  EXPECT_EQ(both.result.code(), Errc::Corrupted);
  EXPECT_EQ(both.messages, std::vector<Msg>{Msg::DecryptionError});
  EXPECT_TRUE(both.prompt.decryption_asks.empty());
}

TEST(CryptoText, TextWithoutBlocksIsLeftAlone) {
  auto d = Decrypt("nothing here\r\n--- End Of QVX Crypto-Text ---", ScriptedPasswords::Always("pw"));
  EXPECT_EQ(PlainOf(d), "nothing here\r\n--- End Of QVX Crypto-Text ---");
  EXPECT_EQ(d.result->blocks, 0u);
  EXPECT_TRUE(d.prompt.decryption_asks.empty());
}

// Replaces the character at body offset `offset` (counted in the unwrapped
// body) of the first block in text.
std::string ChangeBodyChar(std::string text, std::size_t offset, char c) {
  std::size_t at = text.find(kCryptoStartSearched) + kCryptoStartSearched.size();
  std::size_t seen = 0;
  for (;; ++at) {
    if (text[at] == '\r' || text[at] == '\n') continue;
    if (seen++ == offset) break;
  }
  text[at] = c;
  return text;
}

TEST(CryptoText, FailuresAndTheirMessages) {
  auto rng = test::Rng("cryptotext-failures");
  const std::string plain = StringOf(test::RandomBytes(rng, 3000));
  const std::string block = Encrypt(plain, "right");
  const std::size_t body = RemoveLineBreaks(block.substr(block.find(kCryptoStartSearched) +
                                                         kCryptoStartSearched.size()))
                               .size();
  const char mid = ChangeBodyChar(block, body / 2, 'A') == block ? 'B' : 'A';
  struct Case {
    const char* name;
    std::string text;
    std::string password;
    Errc code;
    std::vector<Msg> messages;
    bool asks;
  };
  const Case cases[] = {
      {"wrong password", block, "wrong", Errc::WrongPassword,
       {Msg::WrongPasswordOrBadData, Msg::DecryptionError}, true},
      {"one Base64 character changed mid-envelope", ChangeBodyChar(block, body / 2, mid), "right",
       Errc::Corrupted, {Msg::WrongPasswordOrBadData, Msg::DecryptionError}, true},
      {"checksum field changed", ChangeBodyChar(block, 2, block[block.find("---\r\n\r\n") + 7 + 2] == 'M' ? 'N' : 'M'),
       "right", Errc::Corrupted, {Msg::WrongPasswordOrBadData, Msg::DecryptionError}, true},
      // A character that cannot stand in a body fails the block before any
      // password is asked, wherever it stands.
      {"checksum field not Base64", ChangeBodyChar(block, 0, '*'), "right", Errc::Corrupted,
       {Msg::DecryptionError}, false},
      {"a character outside Base64", ChangeBodyChar(block, body / 2, '#'), "right", Errc::Corrupted,
       {Msg::DecryptionError}, false},
      {"mode field not hex", ChangeBodyChar(block, 13, '*'), "right", Errc::Corrupted, {Msg::DecryptionError},
       false},
  };
  for (const Case& c : cases) {
    auto d = Decrypt(c.text, ScriptedPasswords::Always(c.password));
    ASSERT_FALSE(d.result) << c.name;
    EXPECT_EQ(d.result.code(), c.code) << c.name << ": " << d.result.error().detail;
    EXPECT_EQ(d.messages, c.messages) << c.name;
    EXPECT_EQ(d.prompt.decryption_asks.size(), c.asks ? 1u : 0u) << c.name;
    EXPECT_NE(d.result.error().detail.find("block 1"), std::string::npos) << c.name;
  }
}

TEST(CryptoText, BodyLinesWithLfAloneStillDecrypt) {
  const std::string block = Encrypt("lf", "pw");
  // Keep the armour lines' CR LF, turn the body's into LF alone.
  const std::size_t s = block.find(kCryptoStartSearched) + kCryptoStartSearched.size();
  const std::size_t e = block.find(kCryptoEndSearched);
  std::string body = block.substr(s, e - s), lf;
  for (char c : body) {
    if (c != '\r') lf += c;
  }
  auto d = Decrypt("a" + block.substr(0, s) + lf + block.substr(e) + "b", ScriptedPasswords::Always("pw"));
  EXPECT_EQ(PlainOf(d), "alfb");
  EXPECT_TRUE(d.messages.empty());
}

// Hostile bodies: a payload deciphered under the right key whose length field,
// size or stream is wrong must fail cleanly, never read past its data.
TEST(CryptoText, HostilePayloadsFailCleanly) {
  const Key256 key = PasswordToKey("k");
  auto payload = CompressPayload("some text to carry");
  ASSERT_TRUE(payload);
  auto make = [&](SecureBytes p, std::optional<std::uint32_t> checksum = std::nullopt) {
    auto sealed = SealPasswordEnvelope(key, p.data(), p.size(), nullptr);
    return ArmourBody(FormatBody(checksum ? *checksum : DataChecksum(p.data(), p.size()), EnvelopeMode::Password,
                                 sealed->data(), sealed->size()));
  };
  auto with_length = [&](std::uint32_t length) {
    SecureBytes p = *payload;
    for (int i = 0; i < 4; ++i) p[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    return p;
  };
  SecureBytes cut_stream = *payload;
  cut_stream.resize(cut_stream.size() - 3);
  for (int i = 0; i < 4; ++i) cut_stream[4 + i] = static_cast<std::uint8_t>(cut_stream.size() >> (8 * i));
  SecureBytes text_changed = *payload;
  text_changed[0] ^= 1;  // the text's own checksum
  const std::string blocks[] = {
      make(with_length(0xFFFFFFFF)),
      make(with_length(0x80000000)),
      make(with_length(static_cast<std::uint32_t>(payload->size() + 1))),
      make(with_length(static_cast<std::uint32_t>(payload->size() + 40))),
      make(with_length(7)),
      make(with_length(0)),
      make(cut_stream),
      make(text_changed),
      make(*payload, 0x12345678),
  };
  for (const std::string& block : blocks) {
    auto d = Decrypt(block, ScriptedPasswords::Always("k"));
    ASSERT_FALSE(d.result);
    EXPECT_TRUE(d.result.code() == Errc::Corrupted || d.result.code() == Errc::WrongPassword);
    EXPECT_EQ(d.messages, (std::vector<Msg>{Msg::WrongPasswordOrBadData, Msg::DecryptionError}));
  }
  // Truncated blocks: the body cut at every few characters, end line kept.
  const std::string good = make(*payload);
  const std::size_t end = good.find(kCryptoEndSearched);
  for (std::size_t cut = kCryptoStartWritten.size(); cut < end; cut += 7) {
    auto d = Decrypt(good.substr(0, cut) + good.substr(end), ScriptedPasswords::Always("k"));
    EXPECT_FALSE(d.result) << cut;
    EXPECT_FALSE(d.messages.empty());
    EXPECT_EQ(d.messages.back(), Msg::DecryptionError);
  }
}

TEST(CryptoText, CommonPasswordAcrossBlocks) {
  const std::string b1 = Encrypt("one", "p1"), b2 = Encrypt("two", "p2"), b3 = Encrypt("three", "p3");
  const std::string same = Encrypt("one", "p") + "|" + Encrypt("two", "p") + "|" + Encrypt("three", "p");
  using A = ScriptedPasswords::Answer;

  // Box left checked: one question for the whole text.
  ScriptedPasswords once;
  once.decryption = {A{"p"}};
  auto d = Decrypt(same, once);
  EXPECT_EQ(PlainOf(d), "one|two|three");
  ASSERT_EQ(d.prompt.decryption_asks.size(), 1u);
  EXPECT_TRUE(d.prompt.decryption_asks[0].use_common_password);

  // Box cleared on the first: every later block asks, the box shown as left;
  // checking it again on the second makes the third silent.
  ScriptedPasswords each;
  each.decryption = {A{"p1", false}, A{"p2", true}};
  d = Decrypt(b1 + b2 + Encrypt("three", "p2"), each);
  EXPECT_EQ(PlainOf(d), "onetwothree");
  ASSERT_EQ(d.prompt.decryption_asks.size(), 2u);
  EXPECT_TRUE(d.prompt.decryption_asks[0].use_common_password);
  EXPECT_FALSE(d.prompt.decryption_asks[1].use_common_password);
  EXPECT_EQ(d.prompt.decryption_asks[1].block_number, 2u);

  ScriptedPasswords three;
  three.decryption = {A{"p1", false}, A{"p2"}, A{"p3"}};
  EXPECT_EQ(PlainOf(Decrypt(b1 + b2 + b3, three)), "onetwothree");

  // A common password that does not fit a later block fails the text.
  ScriptedPasswords common;
  common.decryption = {A{"p1"}};
  d = Decrypt(b1 + b2, common);
  ASSERT_FALSE(d.result);
  EXPECT_EQ(d.result.code(), Errc::WrongPassword);
  EXPECT_NE(d.result.error().detail.find("block 2"), std::string::npos);
  EXPECT_EQ(d.messages, (std::vector<Msg>{Msg::WrongPasswordOrBadData, Msg::DecryptionError}));
}

TEST(CryptoText, CancelledPrompts) {
  const std::string b1 = Encrypt("one", "p1"), b2 = Encrypt("two", "p2");
  using A = ScriptedPasswords::Answer;
  // The first question cancelled: nothing shown, nothing decrypted.
  ScriptedPasswords first;
  first.decryption = {A{std::nullopt}};
  auto d = Decrypt(b1 + b2, first);
  ASSERT_FALSE(d.result);
  EXPECT_EQ(d.result.code(), Errc::Cancelled);
  EXPECT_TRUE(d.messages.empty());
  // A later one cancelled: the text fails with a message.
  ScriptedPasswords later;
  later.decryption = {A{"p1", false}, A{std::nullopt}};
  d = Decrypt(b1 + b2, later);
  ASSERT_FALSE(d.result);
  EXPECT_EQ(d.result.code(), Errc::Cancelled);
  EXPECT_EQ(d.messages, std::vector<Msg>{Msg::DecryptionError});
  // The encryption question cancelled: no block, no message.
  ScriptedPasswords enc;
  enc.encryption = {A{std::nullopt}};
  CryptoTextOperation op(enc);
  auto block = op.EncryptText("text");
  ASSERT_FALSE(block);
  EXPECT_EQ(block.code(), Errc::Cancelled);
  EXPECT_TRUE(block.error().messages.empty());
}

TEST(CryptoText, CancelDuringEncryptionMakesNoBlock) {
  auto rng = test::Rng("cryptotext-cancel");
  const std::string text = StringOf(test::RandomBytes(rng, 20000));  // about 625 blocks
  for (int cancel_after : {0, 1, 50, 99}) {
    auto prompt = ScriptedPasswords::Always("pw");
    ScriptedProgress progress;
    progress.cancel_after_updates = cancel_after;
    CryptoTextOperation op(prompt, &progress);
    auto block = op.EncryptText(text);
    ASSERT_FALSE(block) << cancel_after;
    EXPECT_EQ(block.code(), Errc::Cancelled);
    EXPECT_EQ(progress.started, 1);
    EXPECT_EQ(progress.closed, 1);
    EXPECT_TRUE(block.error().messages.empty());
  }
  // Cancel while decrypting: no message, nothing comes back.
  const std::string block = Encrypt(text, "pw");
  auto prompt = ScriptedPasswords::Always("pw");
  ScriptedProgress progress;
  progress.cancel_after_updates = 10;
  CryptoTextOperation op(prompt, &progress);
  auto d = op.DecryptAllBlocks(block);
  ASSERT_FALSE(d);
  EXPECT_EQ(d.code(), Errc::Cancelled);
  EXPECT_TRUE(d.error().messages.empty());
}

TEST(CryptoText, ProgressOnlyForLongEnvelopes) {
  auto prompt = ScriptedPasswords::Always("pw");
  ScriptedProgress progress;
  CryptoTextOperation op(prompt, &progress);
  ASSERT_TRUE(op.EncryptText("short"));
  EXPECT_EQ(progress.started, 0);
  auto rng = test::Rng("cryptotext-progress");
  auto block = op.EncryptText(StringOf(test::RandomBytes(rng, 8000)));
  ASSERT_TRUE(block);
  EXPECT_EQ(progress.started, 1);
  EXPECT_EQ(progress.percents.back(), 99u);
}

// A stand-in for the key store's envelope: the payload, padded, XOR-ed with a
// byte and framed by a 4-byte tag. Enough to check what the block code does
// around the handler.
class FakeRsa final : public RsaEnvelopeHandler {
 public:
  Result<std::vector<std::uint8_t>> Encrypt(const SecureBytes& payload, const EnvelopeContext&) override {
    ++encrypts;
    if (fail_with) return MakeError(*fail_with, "fake failure");
    SecureBytes padded = PadPayload(payload.data(), payload.size());
    std::vector<std::uint8_t> env = {'R', 'S', 'A', '!'};
    for (auto b : padded) env.push_back(b ^ 0x77);
    return env;
  }
  Result<SecureBytes> Decrypt(const std::uint8_t* envelope, std::size_t size,
                              const EnvelopeContext&) override {
    ++decrypts;
    if (fail_with) {
      if (*fail_with == Errc::Cancelled) return MakeError(*fail_with, "fake failure");
      return MakeError(*fail_with, Msg::DecryptionKeyNotFound, BoxKind::Error, {}, "fake failure");
    }
    if (size < 4 || std::memcmp(envelope, "RSA!", 4) != 0) return MakeError(Errc::Corrupted, "no tag");
    SecureBytes out;
    for (std::size_t i = 4; i < 4 + (size - 4) / 32 * 32; ++i) out.push_back(envelope[i] ^ 0x77);
    return out;
  }
  std::optional<Errc> fail_with;
  int encrypts = 0, decrypts = 0;
};

TEST(CryptoText, RsaBlocksGoThroughTheHandler) {
  FakeRsa rsa;
  auto prompt = ScriptedPasswords::Always("pw");
  CryptoTextOperation op(prompt, nullptr, &rsa);
  auto rsa_block = op.EncryptText("to a key", EnvelopeMode::Rsa);
  ASSERT_TRUE(rsa_block);
  EXPECT_EQ(prompt.encryption_asks, 0);
  EXPECT_EQ(RemoveLineBreaks(rsa_block->substr(kCryptoStartWritten.size())).substr(12, 8), "MDAwMQ==");

  // Mixed text: the RSA block does not use up the first password question.
  const std::string text = *rsa_block + "+" + Encrypt("by password", "pw");
  ScriptedPasswords one;
  one.decryption = {ScriptedPasswords::Answer{"pw"}};
  CryptoTextOperation op2(one, nullptr, &rsa);
  auto d = op2.DecryptAllBlocks(text);
  ASSERT_TRUE(d) << d.error().detail;
  EXPECT_EQ(d->text.view(), "to a key+by password");
  EXPECT_EQ(one.decryption_asks.size(), 1u);
  EXPECT_TRUE(one.decryption_asks[0].use_common_password);

  // Without a handler an RSA block fails like a damaged one.
  auto none = Decrypt(*rsa_block, ScriptedPasswords::Always("pw"));
  ASSERT_FALSE(none.result);
  EXPECT_EQ(none.result.code(), Errc::Unsupported);
  EXPECT_EQ(none.messages, std::vector<Msg>{Msg::DecryptionError});
  CryptoTextOperation no_rsa(prompt);
  EXPECT_EQ(no_rsa.EncryptText("x", EnvelopeMode::Rsa).code(), Errc::Unsupported);

  // The handler's failures: its own message then DecryptionError; a cancel is quiet.
  for (Errc code : {Errc::NotFound, Errc::Cancelled}) {
    rsa.fail_with = code;
    CryptoTextOperation failing(prompt, nullptr, &rsa);
    auto r = failing.DecryptAllBlocks(*rsa_block);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.code(), code);
    if (code == Errc::Cancelled) {
      EXPECT_TRUE(r.error().messages.empty());
    } else {
      EXPECT_EQ(test::MessageIds(r), (std::vector<Msg>{Msg::DecryptionKeyNotFound, Msg::DecryptionError}));
    }
    EXPECT_EQ(failing.EncryptText("x", EnvelopeMode::Rsa).code(), code);
  }
}

}  // namespace
}  // namespace qvx

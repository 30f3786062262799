// RSA envelopes through the whole crypto-text operation: the envelope as
// written, decryption with the store's private key, and every failure the
// handler reports, with the messages in their order.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/base64.h"
#include "engine/checksum.h"
#include "engine/cryptotext.h"
#include "engine/envelope.h"
#include "engine/password_key.h"
#include "engine/payload.h"
#include "keys/byte_io.h"
#include "keys/key_store_envelopes.h"
#include "tests/keys/test_keys.h"
#include "tests/support/scripted_passwords.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::ScriptedMessages;
using test::ScriptedPasswords;
using test::StorePair;
using test::TestKey;

class RsaEnvelopes : public testing::Test {
 protected:
  RsaEnvelopes() : store_(dir_.path()) {
    small_ = StorePair(store_, TestKey(1024), "Olga", "", &protection_);
    large_ = StorePair(store_, TestKey(2048), "Pete", "");
  }

  std::string Encrypt(std::string_view text, const test::StoredPair& to, ScriptedMessages& messages,
                      ProgressUi* progress = nullptr) {
    auto prompt = ScriptedPasswords::Always("unused");
    FixedProtectionKey keys;
    KeyStoreEnvelopes rsa(store_, [&] { return std::optional(to.public_path); }, keys);
    CryptoTextOperation op(prompt, progress, &rsa);
    auto block = op.EncryptText(text, EnvelopeMode::Rsa);
    EXPECT_TRUE(block) << block.error().detail;
    if (!block) ShowFailure(messages, block.error());
    EXPECT_EQ(prompt.encryption_asks, 0);
    return block ? *block : std::string();
  }

  std::string Encrypt(std::string_view text, const test::StoredPair& to) {
    ScriptedMessages messages;
    std::string block = Encrypt(text, to, messages);
    EXPECT_TRUE(messages.shown.empty());
    return block;
  }

  struct Outcome {
    Result<DecryptedText> result;
    std::vector<Msg> messages;
  };

  Outcome Decrypt(std::string_view text, ProtectionKeySource& keys, const KeyStore* store = nullptr,
                  ScriptedPasswords prompt = ScriptedPasswords()) {
    KeyStoreEnvelopes rsa(store ? *store : store_, nullptr, keys);
    CryptoTextOperation op(prompt, nullptr, &rsa);
    auto result = op.DecryptAllBlocks(text);
    auto messages = result ? test::MessageIds(result->notices) : test::MessageIds(result.error());
    return {std::move(result), std::move(messages)};
  }

  Outcome Decrypt(std::string_view text) {
    FixedProtectionKey keys(protection_);
    return Decrypt(text, keys);
  }

  // The envelope bytes of a single block.
  static std::vector<std::uint8_t> EnvelopeOf(const std::string& block) {
    auto span = FindNextBlock(block, 0);
    EXPECT_TRUE(span);
    auto body = ParseBody(RemoveLineBreaks(block.substr(span->body_begin, span->body_end - span->body_begin)));
    EXPECT_TRUE(body);
    EXPECT_EQ(body->mode, EnvelopeMode::Rsa);
    return body->envelope;
  }

  // The block with its envelope replaced, header fields kept.
  static std::string WithEnvelope(const std::string& block, const std::vector<std::uint8_t>& envelope) {
    auto span = FindNextBlock(block, 0);
    const std::string body = RemoveLineBreaks(block.substr(span->body_begin, span->body_end - span->body_begin));
    return ArmourBody(body.substr(0, kRsaEnvelopeOffset) + Base64Encode(envelope.data(), envelope.size()));
  }

  test::TempDir dir_;
  KeyStore store_;
  Key256 protection_ = PasswordToKey("olga's key");
  test::StoredPair small_, large_;
};

TEST_F(RsaEnvelopes, RoundTripAndLayoutForBothSizes) {
  auto rng = test::Rng("rsa-envelope");
  const auto random = test::RandomBytes(rng, 5000);
  const std::string texts[] = {"", "abc", "Two\r\nlines", std::string(random.begin(), random.end())};
  for (const auto* pair : {&small_, &large_}) {
    const std::size_t k = pair == &small_ ? 128 : 256;
    for (const auto& text : texts) {
      const std::string block = Encrypt(text, *pair);
      const auto envelope = EnvelopeOf(block);
      ASSERT_GE(envelope.size(), 60 + k + 32);
      EXPECT_EQ(GetU32(envelope.data()), DataChecksum(envelope.data() + 4, 56));
      EXPECT_EQ(GetU32(envelope.data() + 4), k);
      EXPECT_EQ(KeyId::FromBytes(envelope.data() + 8), pair->header.id);
      EXPECT_EQ((envelope.size() - 60 - k) % 32, 0u);
      // The ciphertext starts at 60 + k and holds the payload's blocks.
      auto payload = CompressPayload(text);
      ASSERT_TRUE(payload);
      EXPECT_EQ(envelope.size() - 60 - k, EnvelopeSize(payload->size()));

      auto out = Decrypt(block);
      ASSERT_TRUE(out.result) << out.result.error().detail;
      EXPECT_EQ(out.result->text.view(), text);
      EXPECT_TRUE(out.messages.empty());
    }
  }
}

TEST_F(RsaEnvelopes, FreshSessionKeyEveryTime) {
  const std::string a = Encrypt("same text", large_);
  const std::string b = Encrypt("same text", large_);
  EXPECT_NE(a, b);
  EXPECT_NE(EnvelopeOf(a), EnvelopeOf(b));
  EXPECT_EQ(Decrypt(a).result->text.view(), "same text");
  EXPECT_EQ(Decrypt(b).result->text.view(), "same text");
}

TEST_F(RsaEnvelopes, EveryHeaderByteIsChecked) {
  const std::string block = Encrypt("header test", large_);
  const auto envelope = EnvelopeOf(block);
  for (std::size_t i = 0; i < 60; ++i) {
    auto damaged = envelope;
    damaged[i] ^= 0x04;
    auto out = Decrypt(WithEnvelope(block, damaged));
    ASSERT_FALSE(out.result) << i;
    ASSERT_EQ(out.messages, (std::vector<Msg>{Msg::CryptoHeaderCorrupted, Msg::DecryptionError})) << i;
  }
  // A checksum that matches a k the envelope cannot hold, and envelopes too
  // short for their header.
  for (std::uint32_t k : {0u, 0x7FFFFFFFu, static_cast<std::uint32_t>(envelope.size() - 59)}) {
    auto forged = envelope;
    PutU32(forged.data() + 4, k);
    PutU32(forged.data(), DataChecksum(forged.data() + 4, 56));
    EXPECT_EQ(Decrypt(WithEnvelope(block, forged)).messages,
              (std::vector<Msg>{Msg::CryptoHeaderCorrupted, Msg::DecryptionError}));
  }
  for (std::size_t size : {1u, 30u, 59u}) {
    std::vector<std::uint8_t> cut(envelope.begin(), envelope.begin() + size);
    EXPECT_EQ(Decrypt(WithEnvelope(block, cut)).messages,
              (std::vector<Msg>{Msg::CryptoHeaderCorrupted, Msg::DecryptionError}));
  }
}

TEST_F(RsaEnvelopes, DamagedSessionKeyOrPayloadFails) {
  const std::string block = Encrypt("payload test, long enough to span blocks.....", small_);
  const auto envelope = EnvelopeOf(block);
  for (std::size_t i : {std::size_t{60}, std::size_t{100}, std::size_t{187}, std::size_t{188},
                        envelope.size() - 1}) {
    auto damaged = envelope;
    damaged[i] ^= 0x80;
    auto out = Decrypt(WithEnvelope(block, damaged));
    ASSERT_FALSE(out.result) << i;
    ASSERT_EQ(out.messages.back(), Msg::DecryptionError) << i;
    if (i < 188) {
      // A damaged session key decrypts, by implicit rejection, to a message
      // derived from the key and the ciphertext; now and then that has a
      // session key's size, and the payload fails under it instead.
      const std::vector<Msg> payload_failed = {Msg::WrongPasswordOrBadData, Msg::DecryptionError};
      if (out.messages != payload_failed) {
        EXPECT_EQ(out.messages, std::vector<Msg>{Msg::DecryptionError}) << i;
      }
    }
  }
  // The envelope cut short inside the session key or the payload.
  for (std::size_t size : {std::size_t{100}, std::size_t{188}, envelope.size() - 32}) {
    std::vector<std::uint8_t> cut(envelope.begin(), envelope.begin() + size);
    EXPECT_FALSE(Decrypt(WithEnvelope(block, cut)).result) << size;
  }
}

TEST_F(RsaEnvelopes, KeysThatCannotOpenTheBlock) {
  const std::string block = Encrypt("for Olga", small_);
  // Only the public key is here.
  test::TempDir other_dir;
  KeyStore other(other_dir.path());
  ASSERT_TRUE(other.CreateFolders());
  test::WriteAll(other.PublicPath("Olga", small_.header.id), test::ReadAll(small_.public_path));
  FixedProtectionKey keys(protection_);
  auto out = Decrypt(block, keys, &other);
  EXPECT_EQ(out.result.code(), Errc::NotFound);
  EXPECT_EQ(out.messages, (std::vector<Msg>{Msg::DecryptionKeyNotFound, Msg::DecryptionError}));

  FixedProtectionKey wrong(std::string_view("not it"));
  out = Decrypt(block, wrong);
  EXPECT_EQ(out.messages,
            (std::vector<Msg>{Msg::PrivateKeyCorrupted, Msg::PrivateKeyOpenError, Msg::DecryptionError}));

  FixedProtectionKey cancel;
  out = Decrypt(block, cancel);
  EXPECT_EQ(out.result.code(), Errc::Cancelled);
  EXPECT_TRUE(out.messages.empty());

  // A damaged private key file.
  Bytes file = test::ReadAll(small_.private_path);
  file[300] ^= 1;
  test::WriteAll(small_.private_path, file);
  out = Decrypt(block);
  EXPECT_EQ(out.messages,
            (std::vector<Msg>{Msg::PrivateKeyCorrupted, Msg::PrivateKeyOpenError, Msg::DecryptionError}));

  // A private key file that is listed but cannot be read: "Key load error!"
  // comes first, as for any private key whose header cannot be read.
  test::FaultyFileSystem unreadable;
  unreadable.FailReads(true);
  KeyStore failing(store_.folder(), unreadable);
  out = Decrypt(block, keys, &failing);
  EXPECT_EQ(out.result.code(), Errc::Io);
  EXPECT_EQ(out.messages,
            (std::vector<Msg>{Msg::KeyLoadError, Msg::PrivateKeyOpenError, Msg::DecryptionError}));
}

TEST_F(RsaEnvelopes, RecipientCancelledOrDamaged) {
  auto prompt = ScriptedPasswords::Always("unused");
  FixedProtectionKey keys;
  KeyStoreEnvelopes none(store_, [] { return std::optional<std::string>(); }, keys);
  CryptoTextOperation op(prompt, nullptr, &none);
  auto cancelled = op.EncryptText("x", EnvelopeMode::Rsa);
  EXPECT_EQ(cancelled.code(), Errc::Cancelled);
  EXPECT_TRUE(test::MessageIds(cancelled).empty());

  Bytes file = test::ReadAll(large_.public_path);
  file[50] ^= 1;
  test::WriteAll(large_.public_path, file);
  KeyStoreEnvelopes damaged(store_, [&] { return std::optional(large_.public_path); }, keys);
  CryptoTextOperation op2(prompt, nullptr, &damaged);
  auto refused = op2.EncryptText("x", EnvelopeMode::Rsa);
  EXPECT_EQ(refused.code(), Errc::Corrupted);
  EXPECT_EQ(test::MessageIds(refused), std::vector<Msg>{Msg::PublicKeyCorrupted});

  // A recipient file that cannot be read at all.
  std::filesystem::remove(large_.public_path);
  auto missing = op2.EncryptText("x", EnvelopeMode::Rsa);
  EXPECT_EQ(test::MessageIds(missing), std::vector<Msg>{Msg::PublicKeyOpenError});
}

TEST_F(RsaEnvelopes, MixedWithPasswordBlocks) {
  const std::string rsa1 = Encrypt("first", small_);
  const std::string rsa2 = Encrypt("third", large_);
  auto prompt = ScriptedPasswords::Always("text password");
  CryptoTextOperation op(prompt);
  auto pw = op.EncryptText("second");
  ASSERT_TRUE(pw);
  const std::string text = "A" + rsa1 + "B" + *pw + "C" + rsa2 + "D";
  FixedProtectionKey keys(protection_);
  auto out = Decrypt(text, keys, nullptr, ScriptedPasswords::Always("text password"));
  ASSERT_TRUE(out.result) << out.result.error().detail;
  EXPECT_EQ(out.result->text.view(), "AfirstBsecondCthirdD");
  EXPECT_EQ(out.result->blocks, 3u);
  EXPECT_EQ(keys.asked(), 1);
}

TEST_F(RsaEnvelopes, ProgressAndCancelOnLongTexts) {
  auto rng = test::Rng("rsa-progress");
  const auto random = test::RandomBytes(rng, 64 * 1024);
  const std::string text(random.begin(), random.end());
  test::ScriptedProgress progress;
  ScriptedMessages messages;
  const std::string block = Encrypt(text, large_, messages, &progress);
  EXPECT_EQ(progress.started, 1);

  test::ScriptedProgress cancelling;
  cancelling.cancel_after_updates = 3;
  auto prompt = ScriptedPasswords::Always("unused");
  FixedProtectionKey keys;
  KeyStoreEnvelopes rsa(store_, [&] { return std::optional(large_.public_path); }, keys);
  CryptoTextOperation op(prompt, &cancelling, &rsa);
  EXPECT_EQ(op.EncryptText(text, EnvelopeMode::Rsa).code(), Errc::Cancelled);

  test::ScriptedProgress cancel_decrypt;
  cancel_decrypt.cancel_after_updates = 3;
  KeyStoreEnvelopes opener(store_, nullptr, keys);
  CryptoTextOperation op2(prompt, &cancel_decrypt, &opener);
  auto cancelled = op2.DecryptAllBlocks(block);
  EXPECT_EQ(cancelled.code(), Errc::Cancelled);
  EXPECT_TRUE(test::MessageIds(cancelled).empty());
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace qvx

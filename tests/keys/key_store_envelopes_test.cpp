// RSA envelopes through the whole crypto-text operation: the envelope as
// written, decryption with the store's private key, and every failure the
// handler reports, with the messages in their order.
#include <gtest/gtest.h>

#include <openssl/bn.h>

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
    // Session key or payload: one failure, whatever went wrong.
    EXPECT_EQ(out.messages, (std::vector<Msg>{Msg::WrongPasswordOrBadData, Msg::DecryptionError})) << i;
    EXPECT_EQ(out.result.code(), Errc::WrongPassword) << i;
  }
  // The envelope cut short inside the session key or the payload.
  for (std::size_t size : {std::size_t{100}, std::size_t{188}, envelope.size() - 32}) {
    std::vector<std::uint8_t> cut(envelope.begin(), envelope.begin() + size);
    EXPECT_FALSE(Decrypt(WithEnvelope(block, cut)).result) << size;
  }
}

// Textbook RSA of a chosen k-byte block m under a public key: m^e mod n. It
// makes session keys with any padding, right or wrong.
Bytes RawRsaEncrypt(const RsaKey& key, const Bytes& m) {
  auto numbers = key.PublicNumbers();
  EXPECT_TRUE(numbers);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> n(BN_bin2bn(numbers->n.data(), static_cast<int>(numbers->n.size()), nullptr),
                                                BN_free);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> e(BN_bin2bn(numbers->e.data(), static_cast<int>(numbers->e.size()), nullptr),
                                                BN_free);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> x(BN_bin2bn(m.data(), static_cast<int>(m.size()), nullptr), BN_free);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> c(BN_new(), BN_free);
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
  EXPECT_EQ(BN_mod_exp(c.get(), x.get(), e.get(), n.get(), ctx.get()), 1);
  Bytes out(m.size());
  EXPECT_EQ(BN_bn2binpad(c.get(), out.data(), static_cast<int>(out.size())), static_cast<int>(out.size()));
  return out;
}

TEST_F(RsaEnvelopes, EveryFailureAfterTheKeyLoadedLooksTheSame) {
  // Whatever is wrong with the session key or the payload behind it, the
  // user, the exit code and a script see the same failure: nothing tells a
  // session key with valid padding from one without (no padding oracle).
  auto rng = test::Rng("rsa session keys");
  auto random_bytes = [&](std::size_t n, bool nonzero) {
    Bytes out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(nonzero ? 1 + rng() % 255 : rng() % 256);
    return out;
  };
  // A k-byte encryption block: 00 <type> <filler> 00 <key>, or with no zero
  // separator at all when key is null.
  auto block_of = [&](std::size_t k, std::uint8_t type, const Bytes* key) {
    Bytes m{0x00, type};
    const std::size_t filler = k - 2 - (key ? key->size() + 1 : 0);
    const Bytes ps = type == 0x01 ? Bytes(filler, 0xFF) : random_bytes(filler, true);
    m.insert(m.end(), ps.begin(), ps.end());
    if (key) {
      m.push_back(0x00);
      m.insert(m.end(), key->begin(), key->end());
    }
    return m;
  };
  for (const test::StoredPair* pair : {&small_, &large_}) {
    const RsaKey& rsa = pair == &small_ ? TestKey(1024) : TestKey(2048);
    const std::size_t k = rsa.ModulusSize();
    const std::string block = Encrypt("the text whose session key is replaced", *pair);
    const auto envelope = EnvelopeOf(block);
    auto with_session_key = [&](const Bytes& sealed) {
      auto changed = envelope;
      std::copy(sealed.begin(), sealed.end(), changed.begin() + 60);
      return WithEnvelope(block, changed);
    };
    const Bytes key16 = random_bytes(16, false), key31 = random_bytes(31, false),
                key33 = random_bytes(33, false), key32 = random_bytes(32, false);
    auto damaged_payload = envelope;
    damaged_payload[60 + k + 5] ^= 0x01;
    struct Case {
      const char* what;
      std::string text;
    };
    const Case cases[] = {
        {"padding of block type 1", with_session_key(RawRsaEncrypt(rsa, block_of(k, 0x01, &key32)))},
        {"padding without a zero separator", with_session_key(RawRsaEncrypt(rsa, block_of(k, 0x02, nullptr)))},
        {"padding that starts 00 00", with_session_key(RawRsaEncrypt(rsa, block_of(k, 0x00, &key32)))},
        {"valid padding, 16-byte key", with_session_key(RawRsaEncrypt(rsa, block_of(k, 0x02, &key16)))},
        {"valid padding, 31-byte key", with_session_key(RawRsaEncrypt(rsa, block_of(k, 0x02, &key31)))},
        {"valid padding, 33-byte key", with_session_key(RawRsaEncrypt(rsa, block_of(k, 0x02, &key33)))},
        {"valid padding, random 32-byte key", with_session_key(*rsa.Encrypt(key32.data(), key32.size()))},
        {"random ciphertext", with_session_key(random_bytes(k, false))},
        {"right key, damaged payload", WithEnvelope(block, damaged_payload)},
    };
    std::optional<Error> first;
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      auto out = Decrypt(c.text);
      ASSERT_FALSE(out.result);
      const Error& error = out.result.error();
      EXPECT_EQ(error.code, Errc::WrongPassword);
      EXPECT_EQ(out.messages, (std::vector<Msg>{Msg::WrongPasswordOrBadData, Msg::DecryptionError}));
      if (!first) {
        first = error;
      } else {
        EXPECT_EQ(error.detail, first->detail);
        EXPECT_EQ(error.messages, first->messages);
      }
    }
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

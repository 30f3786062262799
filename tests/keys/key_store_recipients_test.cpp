// Hardened blocks to several RSA keys of a store: each recipient decrypts,
// the wrapped keys are RSA-OAEP with SHA-256, and a reader that holds none of
// the keys is told which keys the block was for.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/base64.h"
#include "engine/cryptotext.h"
#include "engine/password_key.h"
#include "keys/key_id.h"
#include "keys/key_store_recipients.h"
#include "tests/keys/test_keys.h"
#include "tests/support/scripted_passwords.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::ScriptedPasswords;
using test::StorePair;
using test::TestKey;

class Recipients : public testing::Test {
 protected:
  Recipients() : store_(dir_.path()), olga_store_(olga_dir_.path()), pete_store_(pete_dir_.path()) {
    // The sender's store holds everybody's public keys and the sender's pair;
    // Olga's and Pete's stores hold their own pairs only.
    me_ = StorePair(store_, TestKey(2048, 1), "Me", "");
    const auto olga = StorePair(olga_store_, TestKey(1024), "Olga", "", &olga_protection_);
    const auto pete = StorePair(pete_store_, TestKey(2048), "Pete", "");
    olga_public_ = dir_.File("olga.qvx");
    pete_public_ = dir_.File("pete.qvx");
    test::WriteAll(olga_public_, test::ReadAll(olga.public_path));
    test::WriteAll(pete_public_, test::ReadAll(pete.public_path));
    olga_id_ = olga.header.id;
    pete_id_ = pete.header.id;
  }

  std::string Encrypt(std::string_view text, std::vector<std::string> to) {
    auto prompt = ScriptedPasswords::Always("unused");
    FixedProtectionKey keys;
    KeyStoreRecipients recipients(store_, [&] { return std::optional(to); }, keys);
    CryptoTextOperation op(prompt, nullptr, nullptr, &recipients);
    auto block = op.EncryptText(text, EnvelopeMode::Rsa, CryptoFormat::Hardened);
    EXPECT_TRUE(block) << block.error().detail;
    EXPECT_EQ(prompt.encryption_asks, 0);
    return block ? *block : std::string();
  }

  struct Outcome {
    Result<DecryptedText> result;
    std::vector<Msg> messages;
  };

  static Outcome Decrypt(std::string_view text, const KeyStore& store, ProtectionKeySource& keys) {
    auto prompt = ScriptedPasswords();
    KeyStoreRecipients recipients(store, nullptr, keys);
    CryptoTextOperation op(prompt, nullptr, nullptr, &recipients);
    auto result = op.DecryptAllBlocks(text);
    auto messages = result ? test::MessageIds(result->notices) : test::MessageIds(result.error());
    return {std::move(result), std::move(messages)};
  }

  test::TempDir dir_, olga_dir_, pete_dir_;
  KeyStore store_, olga_store_, pete_store_;
  Key256 olga_protection_ = PasswordToKey("olga's key");
  test::StoredPair me_;
  std::string olga_public_, pete_public_;
  KeyId olga_id_, pete_id_;
};

TEST_F(Recipients, EveryRecipientDecryptsTheSenderToo) {
  const std::string text = "for all three of us\r\n";
  const std::string block = Encrypt(text, {olga_public_, pete_public_, me_.public_path, olga_public_});
  FixedProtectionKey olga_keys(olga_protection_), none;
  for (auto [store, keys] : {std::pair<const KeyStore*, ProtectionKeySource*>{&olga_store_, &olga_keys},
                             {&pete_store_, &none},
                             {&store_, &none}}) {
    const Outcome o = Decrypt(block, *store, *keys);
    ASSERT_TRUE(o.result) << o.result.error().detail;
    EXPECT_EQ(o.result->text.view(), text);
  }
}

TEST_F(Recipients, WrappedKeysAreOaepForEachKeyOnce) {
  const std::string block = Encrypt("x", {olga_public_, pete_public_, olga_public_});
  auto span = FindNextBlock(block, 0);
  auto bytes = Base64Decode(*ReadBlockBody(block, *span));
  ASSERT_TRUE(bytes);
  auto parsed = ParseHardenedHeader(bytes->data(), bytes->size());
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->header.recipients.size(), 2u) << "Olga chosen twice is wrapped once";
  const RecipientSlot& olga = parsed->header.recipients[0];
  EXPECT_TRUE(std::equal(olga.key_id.begin(), olga.key_id.end(), olga_id_.bytes.begin()));
  EXPECT_EQ(olga.wrapped.size(), 128u);
  EXPECT_EQ(parsed->header.recipients[1].wrapped.size(), 256u);
  // OAEP with SHA-256 opens it; PKCS #1 v1.5 does not (OpenSSL's implicit
  // rejection gives some other bytes instead of an error).
  auto opened = TestKey(1024).DecryptOaep(olga.wrapped.data(), olga.wrapped.size());
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->size(), 32u);
  auto v15 = TestKey(1024).Decrypt(olga.wrapped.data(), olga.wrapped.size());
  EXPECT_TRUE(!v15 || *v15 != *opened);
}

TEST_F(Recipients, AReaderWithoutAnyOfTheKeysIsToldWhichTheyWere) {
  const std::string block = Encrypt("not for me", {olga_public_, pete_public_});
  FixedProtectionKey none;
  const Outcome o = Decrypt(block, store_, none);
  ASSERT_FALSE(o.result);
  EXPECT_EQ(o.result.code(), Errc::NotFound);
  EXPECT_EQ(o.messages, (std::vector<Msg>{Msg::HardenedNoRecipientKey, Msg::DecryptionError}));
  EXPECT_EQ(o.result.error().messages[0].arg, olga_id_.Text() + "\n" + pete_id_.Text());
}

TEST_F(Recipients, AChangedWrappedKeyFailsAsAChangedText) {
  const std::string block = Encrypt("changed", {pete_public_});
  auto span = FindNextBlock(block, 0);
  auto bytes = *Base64Decode(*ReadBlockBody(block, *span));
  bytes[8 + 52 + 2 + 17] ^= 0x40;  // inside Pete's wrapped key
  FixedProtectionKey none;
  const Outcome o = Decrypt(ArmourHardened(bytes), pete_store_, none);
  ASSERT_FALSE(o.result);
  EXPECT_EQ(o.messages, (std::vector<Msg>{Msg::HardenedTextChanged, Msg::DecryptionError}));
}

TEST_F(Recipients, AlsoToMeAddsTheUsersOwnKeysOnce) {
  const auto second_me = StorePair(store_, TestKey(1024, 1), "Me too", "");
  EXPECT_EQ(RecipientFiles(store_, {olga_public_}, false), std::vector<std::string>{olga_public_});
  auto with_me = RecipientFiles(store_, {olga_public_, me_.public_path, olga_public_}, true);
  std::sort(with_me.begin() + 1, with_me.end());
  std::vector<std::string> expected{olga_public_, me_.public_path, second_me.public_path};
  std::sort(expected.begin() + 1, expected.end());
  EXPECT_EQ(with_me, expected);
}

TEST_F(Recipients, NobodyChosenMakesNoBlock) {
  auto prompt = ScriptedPasswords::Always("unused");
  FixedProtectionKey keys;
  KeyStoreRecipients recipients(store_, [] { return std::optional(std::vector<std::string>{}); }, keys);
  CryptoTextOperation op(prompt, nullptr, nullptr, &recipients);
  auto block = op.EncryptText("x", EnvelopeMode::Rsa, CryptoFormat::Hardened);
  ASSERT_FALSE(block);
  EXPECT_EQ(block.code(), Errc::Cancelled);
}

}  // namespace
}  // namespace qvx

// Signed texts: the block as written, verification against the stored public
// key, and every way a signed text can be damaged.
#include <gtest/gtest.h>

#include "engine/base64.h"
#include "engine/password_key.h"
#include "keys/byte_io.h"
#include "keys/signature.h"
#include "tests/keys/test_keys.h"
#include "tests/support/armour_damage.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::StorePair;
using test::TestKey;

class Signatures : public testing::Test {
 protected:
  Signatures() : store_(dir_.path()) {
    small_ = StorePair(store_, TestKey(1024), "Signer One", "small key", &password_);
    large_ = StorePair(store_, TestKey(2048), "Signer Two", "large key");
  }

  std::string Sign(std::string_view text, const test::StoredPair& pair) {
    FixedProtectionKey keys(password_);
    auto signed_text = SignText(text, store_, pair.private_path, keys);
    EXPECT_TRUE(signed_text) << signed_text.error().detail;
    return signed_text ? *signed_text : std::string();
  }

  // The ids a verification that must fail gives for the user.
  std::vector<Msg> FailedVerify(std::string_view text) {
    auto verified = VerifySignedText(text, store_);
    EXPECT_FALSE(verified);
    return test::MessageIds(verified);
  }

  test::TempDir dir_;
  KeyStore store_;
  Key256 password_ = PasswordToKey("sign pw");
  test::StoredPair small_, large_;
};

TEST_F(Signatures, RoundTripForBothSizesAndAnyText) {
  const std::string texts[] = {"", "Hello, world", "line one\r\nline two\r\n", "only LF\nhere\n",
                               std::string(5000, 'z'), std::string("bytes \x01\x80\xff", 9)};
  for (const auto* pair : {&small_, &large_}) {
    for (const auto& text : texts) {
      const std::string signed_text = Sign(text, *pair);
      ASSERT_EQ(signed_text.compare(0, text.size(), text), 0);
      auto verified = VerifySignedText(signed_text, store_);
      ASSERT_TRUE(verified) << verified.error().detail;
      EXPECT_EQ(verified->signer.owner, pair->header.owner);
      EXPECT_EQ(verified->signer.note, pair->header.note);
      EXPECT_EQ(verified->public_path, pair->public_path);
      EXPECT_EQ(verified->signed_length, text.size());
      EXPECT_EQ(verified->signed_text.text, text);
      EXPECT_EQ(verified->signed_text.changes, unsigned{kSignedTextAsFound});
    }
  }
}

TEST_F(Signatures, BlockLayout) {
  const std::string text = "Meet at noon.";
  const std::string signed_text = Sign(text, large_);
  const std::string_view rest = std::string_view(signed_text).substr(text.size());
  ASSERT_EQ(rest.substr(0, kSignatureStartLine.size()), kSignatureStartLine);
  ASSERT_EQ(rest.substr(rest.size() - kSignatureEndLine.size()), kSignatureEndLine);
  const std::string_view body = rest.substr(kSignatureStartLine.size(),
                                            rest.size() - kSignatureStartLine.size() - kSignatureEndLine.size());
  // An empty line first, then lines of 40 characters, the last one shorter.
  EXPECT_EQ(body.substr(0, 2), "\r\n");
  EXPECT_EQ(body.substr(42, 2), "\r\n");
  auto blob = Base64Decode(RemoveLineBreaks(body));
  ASSERT_TRUE(blob);
  ASSERT_EQ(blob->size(), 60u + 256u);
  EXPECT_EQ(GetU32(blob->data()), 0u);
  EXPECT_EQ(GetU32(blob->data() + 4), 316u);
  EXPECT_EQ(KeyId::FromBytes(blob->data() + 8), large_.header.id);
  EXPECT_TRUE(CheckSignatureBlob(text, blob->data(), blob->size(), TestKey(2048)));
  EXPECT_FALSE(CheckSignatureBlob(text + " ", blob->data(), blob->size(), TestKey(2048)));
  EXPECT_FALSE(CheckSignatureBlob(text, blob->data(), blob->size(), TestKey(1024)));
}

TEST_F(Signatures, ChangedTextFails) {
  const std::string text = "Pay 100 to Bob.\r\nSigned, me.";
  const std::string signed_text = Sign(text, small_);
  const std::vector<std::string> changed = {
      "X" + signed_text.substr(1),
      signed_text.substr(0, 4) + "2" + signed_text.substr(5),
      "A" + signed_text,
      signed_text.substr(1),
      signed_text.substr(0, text.size() - 1) + signed_text.substr(text.size()),
      signed_text.substr(0, text.size()) + "!" + signed_text.substr(text.size()),
  };
  for (const auto& t : changed) {
    EXPECT_EQ(FailedVerify(t), std::vector<Msg>{Msg::VerificationFailed});
  }
  // Only one line break before the start line belongs to the block.
  EXPECT_EQ(FailedVerify(text + "\r\n" + signed_text.substr(text.size())),
            std::vector<Msg>{Msg::VerificationFailed});
}

TEST_F(Signatures, MarkersMustBeThere) {
  const std::string signed_text = Sign("text\r\nmore", small_);
  std::string lf_only;
  for (char c : signed_text) {
    if (c != '\r') lf_only.push_back(c);
  }
  // LF alone throughout: read, and checked with CR LF restored.
  {
    auto verified = VerifySignedText(lf_only, store_);
    ASSERT_TRUE(verified);
    EXPECT_EQ(verified->signed_text.text, "text\r\nmore");
    EXPECT_EQ(verified->signed_text.changes, unsigned{kCrLfRestored});
  }
  EXPECT_EQ(FailedVerify("no signature here"), std::vector<Msg>{Msg::SignatureStartNotFound});
  EXPECT_EQ(FailedVerify("a line that mentions --- Start Of QVX Signature Part---\r\nQUJD\r\n"),
            std::vector<Msg>{Msg::SignatureStartNotFound});
  const std::string no_end = signed_text.substr(0, signed_text.size() - 5);
  EXPECT_EQ(FailedVerify(no_end), std::vector<Msg>{Msg::SignatureEndNotFound});
  EXPECT_EQ(FailedVerify(signed_text.substr(0, signed_text.size() - kSignatureEndLine.size())),
            std::vector<Msg>{Msg::SignatureEndNotFound});
}

// Every character of the block's body replaced by another Base64 character:
// never a good signature.
TEST_F(Signatures, EveryBodyCharacterChanged) {
  const std::string text = "short";
  for (const auto* pair : {&small_, &large_}) {
    const std::string signed_text = Sign(text, *pair);
    const std::size_t body = text.size() + kSignatureStartLine.size();
    const std::size_t end = signed_text.size() - kSignatureEndLine.size();
    const auto original = Base64Decode(RemoveLineBreaks(signed_text.substr(body, end - body)));
    for (std::size_t i = body; i < end; ++i) {
      if (signed_text[i] == '\r' || signed_text[i] == '\n') continue;
      std::string damaged = signed_text;
      damaged[i] = damaged[i] == 'A' ? 'B' : 'A';
      // Base64 ignores the spare low bits of a padded final group; a change
      // there leaves the decoded signature as it was.
      if (Base64Decode(RemoveLineBreaks(damaged.substr(body, end - body))) == original) continue;
      auto verified = VerifySignedText(damaged, store_);
      ASSERT_FALSE(verified) << i;
      ASSERT_FALSE(verified.error().messages.empty()) << i;
    }
  }
}

TEST_F(Signatures, DamagedBodies) {
  const std::string signed_text = Sign("text", small_);
  const std::size_t body = 4 + kSignatureStartLine.size();
  const std::size_t end = signed_text.size() - kSignatureEndLine.size();
  auto with_body = [&](const std::string& new_body) {
    return signed_text.substr(0, body) + new_body + signed_text.substr(end);
  };
  auto decoded = Base64Decode(RemoveLineBreaks(signed_text.substr(body, end - body)));
  ASSERT_TRUE(decoded);
  const Bytes blob = *decoded;
  ASSERT_EQ(blob.size(), 188u);
  Bytes longer = blob;
  longer.push_back(0);
  Bytes wrong_total = blob;
  wrong_total[4] = 60 + 64;
  wrong_total[5] = 0;
  Bytes first_word = blob;
  first_word[0] = 1;
  for (const std::string& b : {std::string(), std::string("!!!!"), std::string("\r\nQUJD"),
                               WrapBase64Lines(Base64Encode(Bytes(blob.begin(), blob.begin() + 60))),
                               WrapBase64Lines(Base64Encode(longer)), WrapBase64Lines(Base64Encode(wrong_total)),
                               WrapBase64Lines(Base64Encode(first_word)),
                               WrapBase64Lines(Base64Encode(Bytes(60 + 600, 0)))}) {
    EXPECT_EQ(FailedVerify(with_body(b)), std::vector<Msg>{Msg::VerificationFailed});
  }
  // Rewrapped into other line lengths it still verifies.
  std::string long_lines = "\r\n" + Base64Encode(blob);
  EXPECT_TRUE(VerifySignedText(with_body(long_lines), store_));
}

TEST_F(Signatures, SignerMustBeInTheStoreAndIntact) {
  const std::string signed_text = Sign("text", large_);
  test::TempDir elsewhere;
  KeyStore empty(elsewhere.path());
  auto verified = VerifySignedText(signed_text, empty);
  EXPECT_EQ(verified.code(), Errc::NotFound);
  EXPECT_EQ(test::MessageIds(verified), std::vector<Msg>{Msg::DecryptionKeyNotFound});

  Bytes file = test::ReadAll(large_.public_path);
  file[200] ^= 1;
  test::WriteAll(large_.public_path, file);
  EXPECT_EQ(FailedVerify(signed_text), (std::vector<Msg>{Msg::PublicKeyCorrupted, Msg::PrivateKeyOpenError}));
}

TEST_F(Signatures, ASignatureUnderAnotherKeysIdFails) {
  // Signed by the 1024-bit key but claiming the 2048-bit key's id.
  auto blob = MakeSignatureBlob("text", large_.header.id, TestKey(1024));
  ASSERT_TRUE(blob);
  EXPECT_EQ(FailedVerify(AppendSignatureBlock("text", *blob)), std::vector<Msg>{Msg::VerificationFailed});
}

TEST_F(Signatures, TwiceSignedTextVerifiesTheFirstBlock) {
  const std::string once = Sign("original", small_);
  const std::string twice = Sign(once, large_);
  auto verified = VerifySignedText(twice, store_);
  ASSERT_TRUE(verified);
  EXPECT_EQ(verified->signer.owner, "Signer One");
  EXPECT_EQ(verified->signed_length, 8u);
}

// What a good signature covers: the text before the block as it matched,
// the form that matched, and whether anything but blank (or quoted blank)
// lines follows the block, another signature block among it.
TEST_F(Signatures, WhatAGoodSignatureCovers) {
  const std::string text = "Pay 100 to Bob.\r\n\r\nSigned, me.";
  const std::string signed_text = Sign(text, small_);
  std::string lf_only;
  for (char c : signed_text) {
    if (c != '\r') lf_only.push_back(c);
  }
  const auto quote = test::Quote("> ", true);
  using After = TextAfterSignature;
  struct Case {
    const char* name;
    std::string input;
    unsigned changes;
    After after;
    std::vector<Msg> notes;
  };
  const Case cases[] = {
      {"exact", signed_text, kSignedTextAsFound, After::kNothing, {}},
      {"blank lines after", signed_text + "\r\n\r\n \t\r\n", kSignedTextAsFound, After::kNothing, {}},
      {"line after", signed_text + "\r\nP.S. make it 200", kSignedTextAsFound, After::kText,
       {Msg::TextFollowsSignature}},
      {"text right after the end line", signed_text + "\n200", kSignedTextAsFound, After::kText,
       {Msg::TextFollowsSignature}},
      {"a quote character with text", signed_text + "\r\n> x", kSignedTextAsFound, After::kText,
       {Msg::TextFollowsSignature}},
      {"signed again", Sign(signed_text, large_), kSignedTextAsFound, After::kSignature,
       {Msg::SignatureFollowsSignature}},
      {"someone else's block appended", signed_text + "\r\n" + Sign("other", large_), kSignedTextAsFound,
       After::kSignature, {Msg::SignatureFollowsSignature}},
      {"a start marker inside a line is text", signed_text + "\r\nsee --- Start Of QVX Signature Part---\r\n",
       kSignedTextAsFound, After::kText, {Msg::TextFollowsSignature}},
      {"quoted", quote(signed_text), kQuotePrefixRemoved, After::kNothing, {Msg::SignedTextVerifiedUnquoted}},
      {"quoted, quoted blank lines after", quote(signed_text + "\r\n\r\n"), kQuotePrefixRemoved,
       After::kNothing, {Msg::SignedTextVerifiedUnquoted}},
      {"quoted, quoted line after", quote(signed_text + "\r\nmore"), kQuotePrefixRemoved, After::kText,
       {Msg::SignedTextVerifiedUnquoted, Msg::TextFollowsSignature}},
      {"LF", lf_only, kCrLfRestored, After::kNothing, {Msg::SignedTextVerifiedCrLf}},
      {"LF, line after", lf_only + "\nmore", kCrLfRestored, After::kText,
       {Msg::SignedTextVerifiedCrLf, Msg::TextFollowsSignature}},
      {"quoted and LF", test::LineEnds("\n")(quote(signed_text)), kQuotePrefixRemoved | kCrLfRestored,
       After::kNothing, {Msg::SignedTextVerifiedUnquoted, Msg::SignedTextVerifiedCrLf}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto verified = VerifySignedText(c.input, store_);
    ASSERT_TRUE(verified) << verified.error().detail;
    EXPECT_EQ(verified->signer.owner, "Signer One");
    EXPECT_EQ(verified->signed_text.text, text);
    EXPECT_EQ(verified->signed_text.changes, c.changes);
    EXPECT_EQ(verified->after, c.after);
    EXPECT_EQ(test::MessageIds(VerificationNotes(*verified)), c.notes);
    for (const Notice& note : VerificationNotes(*verified)) {
      const bool warning = note.id == Msg::TextFollowsSignature || note.id == Msg::SignatureFollowsSignature;
      EXPECT_EQ(note.kind, warning ? BoxKind::Warning : BoxKind::Plain);
    }
  }
}

TEST_F(Signatures, SigningFailures) {
  FixedProtectionKey right(password_), wrong(std::string_view("bad")), cancel;
  test::FaultyFileSystem unreadable;
  unreadable.FailReads(true);
  const KeyStore failing(store_.folder(), unreadable);
  struct Case {
    const char* name;
    const KeyStore& store;
    std::string path;
    ProtectionKeySource& keys;
    Errc code;
    std::vector<Msg> messages;
  };
  const Case cases[] = {
      {"no such file", store_, dir_.File("none.qvx"), right, Errc::NotFound, {Msg::KeyNotFound}},
      {"wrong password", store_, small_.private_path, wrong, Errc::WrongPassword,
       {Msg::PrivateKeyCorrupted, Msg::PrivateKeyOpenError}},
      {"cancelled", store_, small_.private_path, cancel, Errc::Cancelled, {}},
      {"unreadable file", failing, small_.private_path, right, Errc::Io,
       {Msg::KeyLoadError, Msg::PrivateKeyOpenError}},
  };
  for (const Case& c : cases) {
    auto signed_text = SignText("t", c.store, c.path, c.keys);
    ASSERT_FALSE(signed_text) << c.name;
    EXPECT_EQ(signed_text.code(), c.code) << c.name;
    EXPECT_EQ(test::MessageIds(signed_text), c.messages) << c.name;
  }
  // "Key is not found!" is a plain box, the load failures error boxes.
  const auto not_found = SignText("t", store_, dir_.File("none.qvx"), right);
  ASSERT_FALSE(not_found);
  EXPECT_EQ(not_found.error().messages.at(0).kind, BoxKind::Plain);
  const auto unread = SignText("t", failing, small_.private_path, right);
  ASSERT_FALSE(unread);
  const Error& unread_error = unread.error();
  for (const Notice& n : unread_error.messages) EXPECT_EQ(n.kind, BoxKind::Error);
}

}  // namespace
}  // namespace qvx

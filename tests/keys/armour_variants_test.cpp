// Armoured blocks damaged the way mail programs and chat windows damage them
// (quoted, indented, re-wrapped, other line breaks, added blanks), for each of
// the three block kinds: crypto-text decrypts, public keys import byte for
// byte, signatures verify - and a signed text that was changed never does.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/cryptotext.h"
#include "keys/public_key_block.h"
#include "keys/signature.h"
#include "tests/keys/test_keys.h"
#include "tests/support/armour_damage.h"
#include "tests/support/scripted_passwords.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::ArmourDamage;
using test::ArmourDamages;
using test::ScriptedMessages;
using test::ScriptedPasswords;

static_assert(unsigned{kQuotePrefixRemoved} == test::kUndoesPrefix && unsigned{kCrLfRestored} == test::kUndoesLineEnds,
              "the damage table speaks of the same changes");

class DamagedArmour : public testing::Test {
 protected:
  DamagedArmour() : home_(home_dir_.path()), away_(away_dir_.path()) {
    signer_ = test::StorePair(home_, test::TestKey(1024), "Dana", "signing key");
  }

  std::string Sign(const std::string& text) {
    FixedProtectionKey keys;
    auto signed_text = SignText(text, home_, signer_.private_path, keys);
    EXPECT_TRUE(signed_text) << signed_text.error().detail;
    return signed_text ? *signed_text : std::string();
  }

  Result<VerifiedSignature> Verify(const std::string& text, std::vector<Msg>* shown = nullptr) {
    auto verified = VerifySignedText(text, home_);
    if (shown != nullptr) *shown = test::MessageIds(verified);
    return verified;
  }

  test::TempDir home_dir_, away_dir_;
  KeyStore home_, away_;
  test::StoredPair signer_;
};

TEST_F(DamagedArmour, CryptoTextDecrypts) {
  const std::string plain = "line one\r\n\r\n  line three, indented\r\nlast";
  auto prompt = ScriptedPasswords::Always("pw");
  auto block = CryptoTextOperation(prompt).EncryptText(plain);
  ASSERT_TRUE(block);
  const std::string text = "A" + *block + "B";
  for (const ArmourDamage& damage : ArmourDamages()) {
    const std::string damaged = damage.apply(text);
    ASSERT_NE(damaged, text) << damage.name;
    ASSERT_TRUE(ContainsCryptoText(damaged)) << damage.name;
    auto passwords = ScriptedPasswords::Always("pw");
    CryptoTextOperation op(passwords);
    auto result = op.DecryptAllBlocks(damaged);
    ASSERT_TRUE(result) << damage.name << ": " << result.error().detail;
    EXPECT_TRUE(result->notices.empty()) << damage.name;
    EXPECT_EQ(result->blocks, 1u) << damage.name;
    // The block with its quote prefixes is replaced by the plaintext as it was
    // encrypted; the lines around it keep their own damage.
    EXPECT_EQ(result->text.view(), damage.apply("A") + plain + damage.apply("B")) << damage.name;
  }
}

TEST_F(DamagedArmour, PublicKeyImportsByteForByte) {
  auto block = MakePublicKeyBlockFromFile(home_, signer_.public_path);
  ASSERT_TRUE(block);
  const std::string text = "Here is my key:" + *block + "regards";
  const Bytes original = test::ReadAll(signer_.public_path);
  for (const ArmourDamage& damage : ArmourDamages()) {
    ScriptedMessages shown;
    auto imported = ImportPublicKeyBlock(damage.apply(text), away_, shown);
    ASSERT_TRUE(imported) << damage.name << ": " << imported.error().detail;
    EXPECT_TRUE(shown.asked.empty()) << damage.name;
    EXPECT_EQ(imported->outcome, PublicKeyImportOutcome::Stored) << damage.name;
    EXPECT_EQ(test::ReadAll(imported->path), original) << damage.name;
    std::filesystem::remove_all(away_.PublicFolder());
  }
}

TEST_F(DamagedArmour, SignatureBlockVerifies) {
  const std::string text = "Pay 100 to Bob.\r\n\r\nSigned, Dana.";
  const std::string signed_text = Sign(text);
  const std::string block_lines = signed_text.substr(text.size() + 2);  // from the start line on
  for (const ArmourDamage& damage : ArmourDamages()) {
    // Only the block damaged: the signed text is as it was.
    auto verified = Verify(text + "\r\n" + damage.apply(block_lines));
    ASSERT_TRUE(verified) << damage.name << ": " << verified.error().detail;
    EXPECT_EQ(verified->signed_text.text, text) << damage.name;
    EXPECT_EQ(verified->signed_text.changes, unsigned{kSignedTextAsFound}) << damage.name;
    EXPECT_EQ(verified->signer.owner, "Dana");

    // The whole signed text damaged: only a common quote prefix or indentation
    // and the line breaks are undone; anything else changed the signed text.
    std::vector<Msg> shown;
    verified = Verify(damage.apply(signed_text), &shown);
    if (damage.keeps_signed_text) {
      ASSERT_TRUE(verified) << damage.name << ": " << verified.error().detail;
      EXPECT_EQ(verified->signed_text.text, text) << damage.name;
      EXPECT_EQ(verified->signed_text.changes, damage.undone) << damage.name;
    } else {
      EXPECT_FALSE(verified) << damage.name;
      EXPECT_EQ(shown, std::vector<Msg>{Msg::VerificationFailed}) << damage.name;
    }
  }
}

// Every character of a quoted (or line-break-converted) signed text, changed
// or removed: never a good signature. The one exception is the blank of a
// quoted empty line, which some mail programs drop (">" for "> ").
TEST_F(DamagedArmour, ChangedSignedTextFailsEvenWhenQuoted) {
  const std::string text = "Pay 100 to Bob.\r\n\r\n> his words\r\nSigned, Dana.";
  const std::string signed_text = Sign(text);
  const test::TextDamage damages[] = {
      test::Quote("> "),
      test::Quote(">"),
      test::Chain({test::Quote("> "), test::Quote("> ")}),
      test::Indent("\t"),
      test::LineEnds("\n"),
      test::Chain({test::Quote("> ", true), test::LineEnds("\r")}),
  };
  for (std::size_t d = 0; d < std::size(damages); ++d) {
    const std::string damaged = damages[d](signed_text);
    ASSERT_TRUE(Verify(damaged)) << "damage " << d;
    // The signed text as it stands (the line break before the block is not
    // part of it).
    const auto read = ReadSignatureBlock(damaged);
    ASSERT_TRUE(read);
    const std::size_t signed_end = damaged.find("--- Start Of QVX Signature Part---");
    for (std::size_t i = 0; i < signed_end; ++i) {
      if (i >= read->signed_length && (damaged[i] == '\r' || damaged[i] == '\n')) continue;
      std::string changed = damaged;
      changed[i] = changed[i] == 'x' ? 'y' : 'x';
      ASSERT_FALSE(Verify(changed)) << "damage " << d << ", character " << i << " changed";
      changed = damaged.substr(0, i) + damaged.substr(i + 1);
      const bool blank_of_empty_quoted_line =
          damaged[i] == ' ' && i > 0 && damaged[i - 1] == '>' && (damaged[i + 1] == '\r' || damaged[i + 1] == '\n');
      if (blank_of_empty_quoted_line) continue;
      ASSERT_FALSE(Verify(changed)) << "damage " << d << ", character " << i << " removed";
    }
    // A character added to the signed text.
    ASSERT_FALSE(Verify(damaged.substr(0, 5) + "0" + damaged.substr(5))) << "damage " << d;
  }
}

TEST_F(DamagedArmour, SignedTextNormalisationNeedsTheWholeText) {
  const std::string text = "line one\r\nline two\r\nline three";
  const std::string signed_text = Sign(text);
  const auto quoted = test::Quote("> ")(signed_text);
  const auto lf = test::LineEnds("\n")(signed_text);
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      // A line of the signed text without the prefix.
      {"one line not quoted", quoted.substr(2)},
      // The signed text quoted, the block not.
      {"block not quoted", test::Quote("> ")(text) + signed_text.substr(text.size())},
      // Different prefixes on different lines.
      {"prefixes differ", ">" + quoted.substr(2)},
      // Mixed line breaks: some CR LF left.
      {"one CR LF left", lf.substr(0, 8) + "\r" + lf.substr(8)},
      // A prefix inside the signed text is part of it.
      {"quoted after signing, then one prefix removed from the block", quoted.substr(0, quoted.find("> ---")) +
                                                                         quoted.substr(quoted.find("> ---") + 2)},
  };
  for (const Case& c : cases) {
    std::vector<Msg> shown;
    EXPECT_FALSE(Verify(c.text, &shown)) << c.name;
    EXPECT_EQ(shown, std::vector<Msg>{Msg::VerificationFailed}) << c.name;
  }
  // A signed text whose own lines begin with "> " verifies as it is, and when
  // quoted once more.
  const std::string reply = "> quoted words\r\n> more";
  const std::string signed_reply = Sign(reply);
  auto as_is = Verify(signed_reply);
  ASSERT_TRUE(as_is);
  EXPECT_EQ(as_is->signed_text.changes, unsigned{kSignedTextAsFound});
  auto requoted = Verify(test::Quote("> ")(signed_reply));
  ASSERT_TRUE(requoted);
  EXPECT_EQ(requoted->signed_text.text, reply);
}

TEST_F(DamagedArmour, SignedTextForms) {
  SignatureBlock block;
  const std::string marker(kSignatureMarkers.start), end(kSignatureMarkers.end);
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::pair<std::string, unsigned>> forms;
  };
  const Case cases[] = {
      {"as written", "a\r\nb\r\n" + marker + "\r\nQUJD\r\n" + end, {{"a\r\nb", 0}}},
      {"quoted", "> a\r\n>\r\n> b\r\n> " + marker + "\r\n> QUJD\r\n> " + end,
       {{"> a\r\n>\r\n> b", 0}, {"a\r\n\r\nb", kQuotePrefixRemoved}}},
      {"LF", "a\nb\n" + marker + "\nQUJD\n" + end, {{"a\nb", 0}, {"a\r\nb", kCrLfRestored}}},
      {"CR", "a\rb\r" + marker + "\rQUJD\r" + end, {{"a\rb", 0}, {"a\r\nb", kCrLfRestored}}},
      {"quoted, LF", "> a\n> b\n> " + marker + "\n> QUJD\n> " + end,
       {{"> a\n> b", 0},
        {"a\nb", kQuotePrefixRemoved},
        {"> a\r\n> b", kCrLfRestored},
        {"a\r\nb", kQuotePrefixRemoved | kCrLfRestored}}},
      {"nothing before the block", marker + "\r\nQUJD\r\n" + end, {{"", 0}}},
      {"quoted, nothing before the block", "> " + marker + "\r\n> QUJD\r\n> " + end, {{"", 0}}},
      {"text after the block does not count", "a\nb\n" + marker + "\nQUJD\n" + end + "\r\nlater", {{"a\nb", 0}, {"a\r\nb", kCrLfRestored}}},
  };
  for (const Case& c : cases) {
    auto span = FindArmour(c.text, kSignatureMarkers);
    ASSERT_TRUE(span) << c.name;
    block.span = *span;
    block.signed_length = span->start;
    const auto forms = SignedTextForms(c.text, block);
    ASSERT_EQ(forms.size(), c.forms.size()) << c.name;
    for (std::size_t i = 0; i < forms.size(); ++i) {
      EXPECT_EQ(forms[i].text, c.forms[i].first) << c.name << " " << i;
      EXPECT_EQ(forms[i].changes, c.forms[i].second) << c.name << " " << i;
    }
  }
  // A block that does not belong to the text is not read outside it.
  SignatureBlock stray;
  stray.signed_length = 100;
  stray.span.start_line = MarkerLine{400, 450, 460};
  stray.span.end_line = MarkerLine{470, 470, 500};
  const auto forms = SignedTextForms("short\n", stray);
  ASSERT_EQ(forms.size(), 1u);
  EXPECT_EQ(forms[0].text, "short\n");
}

}  // namespace
}  // namespace qvx

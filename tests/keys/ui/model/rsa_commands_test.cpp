// The RSA text commands over real key stores: signing with the chosen key and
// the original-text confirmation, verification showing the stored signer,
// inserting my public key and reading it in another store, with the user
// stopping or choosing nothing at each question.
#include <gtest/gtest.h>

#include "engine/password_key.h"
#include "keys/ui/model/rsa_commands.h"
#include "tests/keys/test_keys.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx::keys::ui {
namespace {

using test::ScriptedMessages;

class ScriptedCommandUi final : public RsaCommandUi {
 public:
  std::optional<std::string> ChooseMyKey() override {
    ++chooser_opened;
    return chosen;
  }
  bool ConfirmOriginalText(std::string_view text) override {
    confirmed_texts.emplace_back(text);
    return confirm;
  }
  void ShowVerified(const KeyFileHeader& signer) override { verified.push_back(signer); }
  void ShowSignedText(std::string_view text) override {
    covered.emplace_back(text);
    shown_before_text.push_back(messages ? messages->shown.size() : 0);
  }

  std::optional<std::string> chosen;
  bool confirm = true;
  int chooser_opened = 0;
  std::vector<std::string> confirmed_texts;
  std::vector<KeyFileHeader> verified;
  std::vector<std::string> covered;  // the signed text each verification showed
  // How many messages had been shown when the signed text was.
  std::vector<std::size_t> shown_before_text;
  const test::ScriptedMessages* messages = nullptr;
};

class RsaCommands : public testing::Test {
 protected:
  RsaCommands() : mine_(dir_.path()), theirs_(other_dir_.path()) {
    pair_ = test::StorePair(mine_, test::TestKey(1024), "Signer", "my note", &protection_);
    ui_.chosen = pair_.private_path;
  }

  RsaCommandContext Context(const KeyStore& store, bool show_text = false) {
    return RsaCommandContext{store, messages_, keys_, ui_, show_text};
  }

  test::TempDir dir_, other_dir_;
  KeyStore mine_, theirs_;
  Key256 protection_ = PasswordToKey("pw");
  test::StoredPair pair_;
  FixedProtectionKey keys_{protection_};
  ScriptedMessages messages_;
  ScriptedCommandUi ui_;
};

TEST_F(RsaCommands, SignThenVerify) {
  const std::string text = "Meet me at noon.\r\n";
  auto signed_text = SignCommand(text, Context(mine_));
  ASSERT_TRUE(signed_text) << signed_text.error().detail;
  EXPECT_EQ(signed_text->compare(0, text.size(), text), 0);
  EXPECT_TRUE(ui_.confirmed_texts.empty());
  EXPECT_EQ(keys_.asked(), 1);

  EXPECT_TRUE(VerifyCommand(*signed_text, Context(mine_)));
  ASSERT_EQ(ui_.verified.size(), 1u);
  EXPECT_EQ(ui_.verified[0].owner, "Signer");
  EXPECT_EQ(ui_.verified[0].note, "my note");
  // The signer's key has 1024 bits: the warning follows the signer.
  EXPECT_EQ(messages_.ids(), std::vector<Msg>{Msg::ShortKeyVerifyWarning});
  messages_.shown.clear();

  // One changed character: the failure is shown, no signer.
  std::string changed = *signed_text;
  changed[0] = 'm';
  EXPECT_FALSE(VerifyCommand(changed, Context(mine_)));
  EXPECT_EQ(messages_.ids(), std::vector<Msg>{Msg::VerificationFailed});
  EXPECT_EQ(ui_.verified.size(), 1u);
}

// A good signature shows the text it covers; what follows the block, or a
// form that had to be restored, is said after the signer, warnings as such.
TEST_F(RsaCommands, VerifyShowsWhatTheSignatureCovers) {
  const std::string text = "Meet me\r\nat noon.";
  auto signed_text = SignCommand(text, Context(mine_));
  ASSERT_TRUE(signed_text);
  std::string lf_only;
  for (char c : *signed_text) {
    if (c != '\r') lf_only.push_back(c);
  }
  struct Case {
    const char* name;
    std::string input;
    std::vector<test::ShownMessage> shown;
  };
  const Case cases[] = {
      {"as signed", *signed_text, {}},
      {"trailing blank lines", *signed_text + "\r\n\r\n", {}},
      {"line after", *signed_text + "\r\nand at 3", {{Msg::TextFollowsSignature, BoxKind::Warning, ""}}},
      {"LF, line after", lf_only + "\nand at 3",
       {{Msg::SignedTextVerifiedCrLf, BoxKind::Plain, ""}, {Msg::TextFollowsSignature, BoxKind::Warning, ""}}},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.name);
    // The signer's key has 1024 bits: that warning comes last of the notes.
    c.shown.push_back({Msg::ShortKeyVerifyWarning, BoxKind::Warning, ""});
    messages_.shown.clear();
    ui_.covered.clear();
    ui_.shown_before_text.clear();
    ui_.messages = &messages_;
    EXPECT_TRUE(VerifyCommand(c.input, Context(mine_)));
    EXPECT_EQ(ui_.covered, std::vector<std::string>{text});
    // The notes come with the signer, before the text opens.
    EXPECT_EQ(ui_.shown_before_text, std::vector<std::size_t>{c.shown.size()});
    ASSERT_EQ(messages_.shown.size(), c.shown.size());
    for (std::size_t i = 0; i < c.shown.size(); ++i) {
      EXPECT_EQ(messages_.shown[i].id, c.shown[i].id);
      EXPECT_EQ(messages_.shown[i].kind, c.shown[i].kind);
    }
  }
}

TEST_F(RsaCommands, SignStopsAtTheOriginalTextOrWithoutAKey) {
  ui_.confirm = false;
  auto stopped = SignCommand("text", Context(mine_, true));
  ASSERT_FALSE(stopped);
  EXPECT_EQ(stopped.code(), Errc::Cancelled);
  EXPECT_EQ(ui_.confirmed_texts, std::vector<std::string>{"text"});
  EXPECT_EQ(ui_.chooser_opened, 0);

  ui_.confirm = true;
  ui_.chosen.reset();
  auto none = SignCommand("text", Context(mine_, true));
  ASSERT_FALSE(none);
  EXPECT_EQ(none.code(), Errc::Cancelled);
  EXPECT_EQ(ui_.chooser_opened, 1);
  EXPECT_EQ(keys_.asked(), 0);

  // A wrong password is reported as the key store reports it.
  ui_.chosen = pair_.private_path;
  FixedProtectionKey wrong("not it");
  RsaCommandContext context{mine_, messages_, wrong, ui_, false};
  EXPECT_FALSE(SignCommand("text", context));
  EXPECT_EQ(messages_.ids(), (std::vector<Msg>{Msg::PrivateKeyCorrupted, Msg::PrivateKeyOpenError}));
}

TEST_F(RsaCommands, VerifyingWithoutTheSignersKeyAndAfterGettingIt) {
  auto signed_text = SignCommand("hello", Context(mine_));
  ASSERT_TRUE(signed_text);
  EXPECT_FALSE(VerifyCommand(*signed_text, Context(theirs_)));
  EXPECT_EQ(messages_.ids(), std::vector<Msg>{Msg::DecryptionKeyNotFound});
  messages_.shown.clear();

  // My public key inserted into a text, read in the other store.
  auto with_key = InsertMyKeyCommand("Here is my key:", Context(mine_));
  ASSERT_TRUE(with_key);
  EXPECT_EQ(with_key->rfind("Here is my key:\r\n--- Start Of QVX Public Key Part---\r\n", 0), 0u);
  EXPECT_TRUE(GetOtherKeyCommand(*with_key, Context(theirs_)));
  EXPECT_EQ(messages_.ids(), std::vector<Msg>{Msg::OperationOk});
  const auto received = theirs_.List(KeyKind::Other);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(test::ReadAll(received[0].public_path), test::ReadAll(pair_.public_path));

  messages_.shown.clear();
  EXPECT_TRUE(VerifyCommand(*signed_text, Context(theirs_)));
  EXPECT_EQ(messages_.ids(), std::vector<Msg>{Msg::ShortKeyVerifyWarning});  // a 1024-bit key
  ASSERT_EQ(ui_.verified.size(), 1u);
  EXPECT_EQ(ui_.verified[0].owner, "Signer");
}

TEST_F(RsaCommands, InsertAndGetFailures) {
  // Nothing chosen: no message, nothing to insert.
  ui_.chosen.reset();
  auto none = InsertMyKeyCommand("text", Context(mine_));
  ASSERT_FALSE(none);
  EXPECT_EQ(none.code(), Errc::Cancelled);
  EXPECT_TRUE(messages_.shown.empty());

  // The chosen pair lost its public file, or the path is no key file name.
  for (const std::string& path : {pair_.private_path, dir_.File("plain.qvx")}) {
    messages_.shown.clear();
    ui_.chosen = path;
    if (path == pair_.private_path) std::remove(pair_.public_path.c_str());
    EXPECT_FALSE(InsertMyKeyCommand("text", Context(mine_))) << path;
    EXPECT_EQ(messages_.ids(), std::vector<Msg>{Msg::KeyLoadError}) << path;
  }

  // A text without a key block, and one with a damaged block.
  messages_.shown.clear();
  EXPECT_FALSE(GetOtherKeyCommand("no key here", Context(theirs_)));
  EXPECT_EQ(messages_.ids(), std::vector<Msg>{Msg::PublicKeyStartNotFound});
  messages_.shown.clear();
  EXPECT_FALSE(GetOtherKeyCommand(
      "\r\n--- Start Of QVX Public Key Part---\r\n\r\nAAAA\r\n\r\n--- End Of QVX Public Key Part---\r\n",
      Context(theirs_)));
  EXPECT_EQ(messages_.ids(), std::vector<Msg>{Msg::PublicKeyCorrupted});
  EXPECT_TRUE(theirs_.List().empty());
}

TEST_F(RsaCommands, InsertingMyKeyRefusesAPublicFileOfAnotherKey) {
  // Another key's public file, validly sealed, under my pair's name and header.
  auto header = mine_.ReadHeader(pair_.public_path);
  ASSERT_TRUE(header);
  ASSERT_TRUE(mine_.SavePublicKeyFile(pair_.public_path, *header, test::TestKey(1024, 1)));
  auto refused = InsertMyKeyCommand("text", Context(mine_));
  EXPECT_EQ(refused.code(), Errc::Corrupted);
  EXPECT_EQ(messages_.ids(), std::vector<Msg>{Msg::MyPublicKeyMismatch});
}

TEST_F(RsaCommands, GettingAKeyTwiceAsksBeforeReplacing) {
  auto with_key = InsertMyKeyCommand("", Context(mine_));
  ASSERT_TRUE(with_key);
  EXPECT_TRUE(GetOtherKeyCommand(*with_key, Context(theirs_)));
  messages_.shown.clear();
  messages_.answers = {false};
  EXPECT_TRUE(GetOtherKeyCommand(*with_key, Context(theirs_)));
  EXPECT_EQ(messages_.asked, std::vector<Msg>{Msg::PublicKeyExistsOverwrite});
  EXPECT_EQ(messages_.ids(), std::vector<Msg>{Msg::OperationOk});
}

}  // namespace
}  // namespace qvx::keys::ui

// One run of the encrypt/decrypt command over a scripted desk: every failure
// the engine hands back is shown exactly once, in the order the boxes come,
// and before anything else the user sees (the viewer).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/cryptotext_block.h"
#include "shell/model/crypt_command.h"
#include "tests/support/password_block.h"
#include "tests/support/scripted_passwords.h"
#include "tests/support/scripted_ui.h"

namespace qvx::shell {
namespace {

using test::ScriptedPasswords;

// Records what the user would see, in order: message boxes and viewers.
class Desk final : public CryptDesk {
 public:
  explicit Desk(std::vector<std::string>& seen) : seen_(seen) {}

  Result<CapturedText> Capture() override {
    if (!text) return MakeError(Errc::NotFound, "no text on the clipboard");
    return CapturedText{SecureString(*text), false};
  }
  bool ConfirmOriginal(std::string_view) override { return true; }
  Status PutBack(std::string_view) override {
    seen_.push_back("put back");
    return Ok();
  }
  void ShowInViewer(const SecureString& result, bool) override {
    seen_.push_back("viewer: " + std::string(result.view()));
  }

  std::optional<std::string> text;

 private:
  std::vector<std::string>& seen_;
};

class Boxes final : public MessageUi {
 public:
  explicit Boxes(std::vector<std::string>& seen) : seen_(seen) {}
  void Show(Msg id, BoxKind, std::string_view) override { seen_.push_back(MessageText(id)); }
  bool Confirm(Msg) override { return true; }
  bool ConfirmWarning(Msg, std::string_view) override { return true; }

 private:
  std::vector<std::string>& seen_;
};

// An RSA handler that fails the way the key store's does: with its messages.
class FailingRsa final : public RsaEnvelopeHandler {
 public:
  explicit FailingRsa(Error error) : error_(std::move(error)) {}
  Result<std::vector<std::uint8_t>> Encrypt(const SecureBytes&, const EnvelopeContext&) override {
    return error_;
  }
  Result<SecureBytes> Decrypt(const std::uint8_t*, std::size_t, const EnvelopeContext&) override {
    return error_;
  }

 private:
  Error error_;
};

std::string T(Msg id) { return MessageText(id); }

TEST(CryptCommandMessages, EachFailureIsShownOnceBeforeAnythingElse) {
  const std::string block = test::MakePasswordBlock("secret", "pw");
  ASSERT_FALSE(block.empty());
  const std::string no_end = block.substr(0, block.find("--- End Of QVX"));
  const Error key_missing =
      MakeError(Errc::NotFound, Msg::DecryptionKeyNotFound, BoxKind::Error, {}, "no private key");

  struct Case {
    const char* name;
    std::optional<std::string> text;
    std::vector<std::string> passwords;  // decryption answers; empty = cancel
    EnvelopeMode mode;
    std::optional<Error> rsa_failure;
    CryptOutcome outcome;
    std::vector<std::string> seen;
  };
  const Case cases[] = {
      {"wrong password", block, {"wrong"}, EnvelopeMode::Password, std::nullopt, CryptOutcome::Failed,
       {T(Msg::WrongPasswordOrBadData), T(Msg::DecryptionError)}},
      {"first question cancelled", block, {}, EnvelopeMode::Password, std::nullopt, CryptOutcome::Stopped, {}},
      {"end line missing", "A" + no_end, {"pw"}, EnvelopeMode::Password, std::nullopt, CryptOutcome::Shown,
       {T(Msg::CryptoEndNotFound), "viewer: A" + no_end}},
      {"decrypted", block, {"pw"}, EnvelopeMode::Password, std::nullopt, CryptOutcome::Shown,
       {"viewer: secret"}},
      {"RSA encryption refused by the handler", "plain", {}, EnvelopeMode::Rsa,
       MakeError(Errc::Corrupted, Msg::PublicKeyCorrupted), CryptOutcome::Failed, {T(Msg::PublicKeyCorrupted)}},
      {"RSA encryption without keys", "plain", {}, EnvelopeMode::Rsa, std::nullopt, CryptOutcome::Failed,
       {T(Msg::TextEncryptionFailed)}},
      {"nothing on the clipboard", std::nullopt, {}, EnvelopeMode::Password, std::nullopt, CryptOutcome::Failed,
       {T(Msg::ClipboardError)}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> seen;
    Desk desk(seen);
    desk.text = c.text;
    Boxes boxes(seen);
    ScriptedPasswords passwords;
    for (const std::string& p : c.passwords) passwords.decryption.push_back({p});
    if (c.passwords.empty()) passwords.decryption.push_back({std::nullopt});
    std::optional<FailingRsa> rsa;
    if (c.rsa_failure) rsa.emplace(*c.rsa_failure);
    CryptoTextOperation engine(passwords, nullptr, rsa ? &*rsa : nullptr);
    CryptRequest request;
    request.source = TextSource::Clipboard;
    request.mode = c.mode;
    EXPECT_EQ(RunCryptCommand(request, desk, engine, boxes), c.outcome) << c.name;
    EXPECT_EQ(seen, c.seen) << c.name;
  }

  // An RSA block the handler cannot open: its message, then "Decryption error!".
  std::vector<std::string> seen;
  Desk desk(seen);
  Boxes boxes(seen);
  FailingRsa rsa(key_missing);
  ScriptedPasswords passwords;
  const std::vector<std::uint8_t> envelope(96, 1);
  const std::string rsa_block = ArmourBody(FormatBody(0, EnvelopeMode::Rsa, envelope.data(), envelope.size()));
  desk.text = rsa_block;
  CryptoTextOperation engine(passwords, nullptr, &rsa);
  EXPECT_EQ(RunCryptCommand(CryptRequest{}, desk, engine, boxes), CryptOutcome::Failed);
  EXPECT_EQ(seen, (std::vector<std::string>{T(Msg::DecryptionKeyNotFound), T(Msg::DecryptionError)}));
}

}  // namespace
}  // namespace qvx::shell

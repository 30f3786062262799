// The text commands of RSA-keys mode.
#include "keys/ui/model/rsa_commands.h"

#include "keys/public_key_block.h"
#include "keys/signature.h"

namespace qvx::keys::ui {

Result<std::string> SignCommand(std::string_view text, const RsaCommandContext& context) {
  if (context.show_text && !context.ui.ConfirmOriginalText(text)) {
    return MakeError(Errc::Cancelled, "the user stopped at the original text");
  }
  const auto key = context.ui.ChooseMyKey();
  if (!key) return MakeError(Errc::Cancelled, "no key chosen");
  auto signed_text = SignText(text, context.store, *key, context.keys);
  if (!signed_text) ShowFailure(context.messages, signed_text.error());
  return signed_text;
}

bool VerifyCommand(std::string_view text, const RsaCommandContext& context) {
  auto verified = VerifySignedText(text, context.store);
  if (!verified) {
    ShowFailure(context.messages, verified.error());
    return false;
  }
  context.ui.ShowVerified(verified->signer);
  ShowNotices(context.messages, VerificationNotes(*verified));
  ShowNotices(context.messages, verified->notices);
  context.ui.ShowSignedText(verified->signed_text.text);
  return true;
}

Result<std::string> InsertMyKeyCommand(std::string_view text, const RsaCommandContext& context) {
  const auto key = context.ui.ChooseMyKey();
  if (!key) return MakeError(Errc::Cancelled, "no key chosen");
  auto block = MakeMyPublicKeyBlock(context.store, *key);
  if (!block) {
    ShowFailure(context.messages, block.error());
    return block.error();
  }
  std::string out(text);
  out += *block;
  return out;
}

bool GetOtherKeyCommand(std::string_view text, const RsaCommandContext& context) {
  auto imported = ImportPublicKeyBlock(text, context.store, context.messages);
  if (!imported) {
    ShowFailure(context.messages, imported.error());
    return false;
  }
  context.messages.Show(Msg::OperationOk);
  return true;
}

}  // namespace qvx::keys::ui

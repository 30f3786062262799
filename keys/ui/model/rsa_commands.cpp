// The text commands of RSA-keys mode.
#include "keys/ui/model/rsa_commands.h"

#include "keys/public_key_block.h"
#include "keys/signature.h"

namespace qvx::keyui {

Result<std::string> SignCommand(std::string_view text, const RsaCommandContext& context) {
  if (context.showText && !context.ui.ConfirmOriginalText(text)) {
    return MakeError(Errc::Cancelled, "the user stopped at the original text");
  }
  const auto key = context.ui.ChooseMyKey();
  if (!key) return MakeError(Errc::Cancelled, "no key chosen");
  return SignText(text, context.store, *key, context.keys, context.messages);
}

bool VerifyCommand(std::string_view text, const RsaCommandContext& context) {
  auto verified = VerifySignedText(text, context.store, context.messages);
  if (!verified) return false;
  context.ui.ShowVerified(verified->signer);
  return true;
}

Result<std::string> InsertMyKeyCommand(std::string_view text, const RsaCommandContext& context) {
  const auto key = context.ui.ChooseMyKey();
  if (!key) return MakeError(Errc::Cancelled, "no key chosen");
  const auto public_path = context.store.PrivatePathToPublicPath(*key);
  if (!public_path) {
    context.messages.Show(Msg::KeyLoadError, BoxKind::Error);
    return MakeError(Errc::InvalidArgument, "not a private key file: " + *key);
  }
  auto block = MakePublicKeyBlockFromFile(context.store, *public_path, context.messages);
  if (!block) return block.error();
  std::string out(text);
  out += *block;
  return out;
}

bool GetOtherKeyCommand(std::string_view text, const RsaCommandContext& context) {
  if (!ImportPublicKeyBlock(text, context.store, context.messages)) return false;
  context.messages.Show(Msg::OperationOk);
  return true;
}

}  // namespace qvx::keyui

// The text commands of RSA-keys mode on a text already taken from a window or
// the clipboard: sign, verify, insert my public key, get another person's key.
// Taking the text and returning the result is the tray program's part; the
// questions go through RsaCommandUi and the MessageUi, and the commands show
// each failure that the key operations hand back, once.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "keys/key_file.h"
#include "keys/key_store.h"
#include "keys/protection.h"
#include "platform/result.h"
#include "platform/ui.h"

namespace qvx::keys::ui {

class RsaCommandUi {
 public:
  virtual ~RsaCommandUi() = default;
  // One of the user's own keys: the path of its private key file; nullopt
  // when the user chose none.
  virtual std::optional<std::string> ChooseMyKey() = 0;
  // Shows the text before it is signed; false when the user stops.
  virtual bool ConfirmOriginalText(std::string_view text) = 0;
  // The signature is good: shows the signer as the store knows it.
  virtual void ShowVerified(const KeyFileHeader& signer) = 0;
  // Then shows the text the signature covers, as it matched; nothing of it
  // goes back into a window.
  virtual void ShowSignedText(std::string_view text) = 0;
};

struct RsaCommandContext {
  const KeyStore& store;
  MessageUi& messages;
  ProtectionKeySource& keys;
  RsaCommandUi& ui;
  bool show_text = false;  // the "ShowText" setting: confirm before signing
};

// The text with its signature block. Cancelled (no message) when the user
// stopped at the text or chose no key; other errors have been shown.
Result<std::string> SignCommand(std::string_view text, const RsaCommandContext& context);

// Verifies the first signature block of the text and shows the signer, then
// each of VerificationNotes (the form that matched as plain boxes; text or a
// signature block after the block as warnings), then the warning about a
// signer's key under 2048 bits, then the signed text; the messages of a
// failure are shown. True when verified.
bool VerifyCommand(std::string_view text, const RsaCommandContext& context);

// The text followed by the public key block of one of my keys (chosen by the
// user). Cancelled when none was chosen; "Key load error!" (shown) when its
// key files cannot be read, and the mismatch message (shown) when its public
// key file holds another key than its private file (MakeMyPublicKeyBlock).
Result<std::string> InsertMyKeyCommand(std::string_view text, const RsaCommandContext& context);

// Reads the first public key block of the text into the store and says
// "Operation is OK"; false after a reported failure.
bool GetOtherKeyCommand(std::string_view text, const RsaCommandContext& context);

}  // namespace qvx::keys::ui

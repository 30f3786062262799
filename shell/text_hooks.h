// Where the key and password-storage dialogs plug into the text commands and
// the password prompts. Each hook is filled by the part that owns it, in its
// feature installer (shell/feature.h); an empty hook means that part is not in
// this build, and the prompts and commands say so or leave the button off.
// Hooks run on the thread of the command that calls them.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "keys/key_file.h"
#include "platform/secure.h"

namespace qvx::shell {

struct TextHooks {
  // "From storage" in the password prompts: the password storage opens (owned
  // by the prompt) for the user to choose a password; its key
  // (PasswordToKey), or nullopt when nothing was chosen and the prompt stays.
  // Empty: the button is disabled.
  std::function<std::optional<Key256>(HWND prompt)> passwordFromStorage;

  // RSA-keys mode: the path of the public key file to encrypt a text to;
  // nullopt when the user cancelled the choice. Empty: encryption in RSA-keys
  // mode says that no key can be chosen yet.
  std::function<std::optional<std::string>()> chooseRecipient;

  // Unlocking a private key: the key of the password associated with it in
  // the password storage, tried before the user is asked; nullopt to ask.
  std::function<std::optional<Key256>(const KeyFileHeader& header)> associatedKey;

  // The private-key prompt was confirmed with "Save this password and
  // associate it with this key" checked: store the password and associate it
  // with the key. Called while the typed password still exists; it is wiped
  // right afterwards.
  std::function<void(const KeyFileHeader& header, const SecureString& password, const Key256& key)>
      saveAndAssociate;
};

}  // namespace qvx::shell

// What the RSA key dialogs share inside the tray program: the key store beside
// the program, the message boxes, the string table, and the hooks through
// which other parts of the program add to the dialogs (list find and balloon
// tips, the password storage, the key-password associations). One KeysUi
// lives as long as the program; every dialog gets it by reference.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "keys/generate.h"
#include "keys/key_store.h"
#include "keys/protection.h"
#include "platform/secure.h"
#include "platform/ui.h"

namespace qvx::shell {
class App;
class MessageBoxes;
}  // namespace qvx::shell

namespace qvx::keyui {

// Find and balloon tips over the key list of one dialog.
class ListTools {
 public:
  virtual ~ListTools() = default;
  // The Find button, Ctrl+F and F3 on the list.
  virtual void Find() = 0;
  // Sees every message of the dialog first; true when it was the tools' own
  // (the Find dialog's registered message), which the dialog then ignores.
  virtual bool OnDialogMessage(UINT message, WPARAM wparam, LPARAM lparam) = 0;
};

struct KeysUiHooks {
  // Makes the list tools for a dialog's key list (5 columns). Unset: the
  // Find button stays disabled and Ctrl+F, F3 do nothing.
  std::function<std::unique_ptr<ListTools>(HWND dialog, HWND list, int columns)> listTools;
  // The source of private-key protection keys for one operation, given the
  // prompt that asks the user. Unset: the prompt alone.
  std::function<std::unique_ptr<ProtectionKeySource>(std::unique_ptr<ProtectionKeySource> prompt)>
      protectionKeys;
  // Key pair wizard, "From storage...": the protection key of a password the
  // user picks in the password storage (the wizard page is the owner);
  // nullopt when none was picked. Unset: the button is disabled.
  std::function<std::optional<Key256>(HWND owner)> storedProtectionKey;
  // Key pair wizard, save box ticked with a typed password: called before the
  // pair is generated (the storage may ask for its login then) and returns
  // what to do once the key exists, keep the password in the storage and
  // associate the key with it, or nothing. Unset: the box is disabled.
  std::function<std::function<void(const GeneratedKey& key)>(const SecureString& password)>
      saveAndAssociate;
};

class KeysUi {
 public:
  // The program's one KeysUi, made on first use: the installers of the parts
  // that hook in may run before or after this part's.
  static KeysUi& For(shell::App& app);

  KeysUi(shell::App& app, std::string folder);
  KeysUi(const KeysUi&) = delete;
  KeysUi& operator=(const KeysUi&) = delete;

  shell::App& app() const { return app_; }
  HINSTANCE instance() const;
  shell::MessageBoxes& messages() const;
  const KeyStore& store() const { return store_; }
  KeysUiHooks& hooks() { return hooks_; }
  const KeysUiHooks& hooks() const { return hooks_; }

  // A text of the string table.
  std::string Text(Msg id) const;

  // Where the private-key protection keys of one operation come from: the
  // password prompt, behind whatever the hooks put in front of it.
  std::unique_ptr<ProtectionKeySource> ProtectionKeys() const;

 private:
  shell::App& app_;
  KeyStore store_;
  KeysUiHooks hooks_;
};

}  // namespace qvx::keyui

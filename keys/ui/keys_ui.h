// What the RSA key dialogs share inside the tray program: the key store beside
// the program, the message boxes, the string table, the hook through which
// the list tools (find, balloon tips) come into the key lists, and the way to
// a private key's password. The password storage reaches the dialogs through
// the shell's text hooks (App::textHooks: "From storage", the key-password
// associations). One KeysUi lives as long as the program; every dialog gets
// it by reference.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "keys/generate.h"
#include "keys/key_store.h"
#include "keys/protection.h"
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
  // key-password association when there is one, otherwise the private-key
  // password prompt.
  std::unique_ptr<ProtectionKeySource> ProtectionKeys() const;

 private:
  shell::App& app_;
  KeyStore store_;
  KeysUiHooks hooks_;
};

}  // namespace qvx::keyui

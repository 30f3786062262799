// "Key Selection" (117), through which the RSA operations let the user pick a
// key: one of my keys to sign with or to insert, another person's key to
// encrypt to. It can also generate, delete and open the key manager.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "keys/key_store.h"
#include "keys/ui/keys_ui.h"

namespace qvx::keys::ui {

// The chosen key: the private key file's path for my keys, the public key
// file's path for other keys; nullopt when the user chose none.
std::optional<std::string> SelectKey(KeysUi& ui, KeyKind kind, HWND owner = nullptr);

// The same dialog for the recipients of a hardened block: other people's keys
// with a check box each, and "Also to me" (checked; disabled when the user
// has no key pair). OK takes the checked keys, or the selected one when none
// is checked. The public key files to encrypt to (RecipientFiles of the
// choice); nullopt when the user chose none or cancelled.
std::optional<std::vector<std::string>> SelectRecipients(KeysUi& ui, HWND owner = nullptr);

}  // namespace qvx::keys::ui

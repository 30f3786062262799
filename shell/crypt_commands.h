// The encrypt/decrypt commands: "Encrypt/Decrypt selected window text"
// (40054, hot key 2), "... all window text" (40055, hot key 1) and "... from
// clipboard" (40071, hot key 0).
#pragma once

#include "keys/ui/keys_ui.h"
#include "shell/model/command_router.h"
#include "shell/text_command_host.h"

namespace qvx::shell {

// Binds the three menu commands and their hot keys. RSA blocks are opened
// and made with the keys of `keys`, passwords asked through its prompts.
void BindCryptCommands(CommandRouter& router, TextCommandHost& host, keys::ui::KeysUi& keys);

}  // namespace qvx::shell

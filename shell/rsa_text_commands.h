// The RSA commands of the tray menu and hot keys that work on text: sign,
// verify, insert my public key, get another person's key, each on the text
// of the window in front (all of it) or on the clipboard. Every run is one
// text operation of the shell: a second text command meanwhile is refused.
#pragma once

#include "keys/ui/keys_ui.h"
#include "shell/model/command_router.h"
#include "shell/text_command_host.h"

namespace qvx::shell {

enum class RsaTextCommand { Sign, Verify, InsertMyKey, GetOtherKey };

// Starts a command. The target window is found at once; the run goes on on
// this thread (menu commands, which have one of their own) or on a new one
// (hot keys, so that the main window keeps answering).
void StartRsaTextCommand(TextCommandHost& host, keys::ui::KeysUi& keys, RsaTextCommand command,
                         bool from_window, bool on_this_thread);

// Binds the eight menu commands and the four hot keys of the RSA text
// commands, and the key pair wizard and key manager commands.
void BindRsaCommands(CommandRouter& router, TextCommandHost& host, keys::ui::KeysUi& keys);

}  // namespace qvx::shell

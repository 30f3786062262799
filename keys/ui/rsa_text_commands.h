// The RSA commands of the tray menu and hot keys that work on text: sign,
// verify, insert my public key, get another person's key, each on the text
// of the window in front (all of it) or on the clipboard. Every run is one
// text operation of the shell: a second text command meanwhile is refused.
#pragma once

#include "keys/ui/keys_ui.h"

namespace qvx::shell {
class App;
}

namespace qvx::keyui {

enum class RsaTextCommand { Sign, Verify, InsertMyKey, GetOtherKey };

// Starts a command. The target window is found at once; the run goes on on
// this thread (menu commands, which have one of their own) or on a new one
// (hot keys, so that the main window keeps answering).
void StartRsaTextCommand(shell::App& app, KeysUi& ui, RsaTextCommand command, bool fromWindow,
                         bool onThisThread);

}  // namespace qvx::keyui

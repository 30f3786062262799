// A key file given as the program's argument (a double click on a ".qvx"
// file): its properties, then, for a public key file the store does not hold
// yet, the offer to add it to the other keys.
#pragma once

#include <string>

#include "keys/ui/keys_ui.h"

namespace qvx::keys::ui {

// Shows the key file; "Key load error!" for a name without ".qvx" or a file
// without a key header. Returns the program's exit code (0 shown, 1 not).
int ShowKeyFileFromCommandLine(KeysUi& ui, const std::string& path);

}  // namespace qvx::keys::ui

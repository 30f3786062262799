// The key pair wizard: four pages (length, owner, note, protection password)
// and the generation behind the busy window. Started from the key selection
// dialog, the key manager, the main window's command 40049 and the installer.
#pragma once

#include <windows.h>

#include <optional>

#include "keys/generate.h"
#include "keys/ui/keys_ui.h"

namespace qvx::keys::ui {

struct WizardOptions {
  // During installation each page's Cancel button reads "&Skip".
  bool installer = false;
};

// Runs the wizard and, unless the user left it, generates and writes the new
// pair (the failure is shown). The pages and the busy window are owned by the
// given window (none from the tray). The new key, or nullopt.
std::optional<GeneratedKey> RunKeyPairWizard(KeysUi& ui, HWND owner,
                                             const WizardOptions& options = {});

// The wizard as the installer's step for the first key pair: no owner window,
// "&Skip" on every page.
void RunInstallerKeyPairWizard(KeysUi& ui);

}  // namespace qvx::keys::ui

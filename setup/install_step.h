// The install step ("install"), run by the installed program: the entries
// that make it an installed program (start at logon, the list of installed
// programs with the recorded folder, the key file type, Start-menu
// shortcuts), then the first storage login and key pair, then the
// installation folder in the shell. The tray program starts afterwards.
#pragma once

#include "setup/installer_steps.h"
#include "shell/app.h"

namespace qvx::setup {

// Goes on to the tray start, except when the registry could not be written:
// that is shown (string 23 and what it means) and the process ends with -1.
shell::StartHooks::Outcome FinishInstallation(shell::App& app, const InstallerSteps& steps);

}  // namespace qvx::setup

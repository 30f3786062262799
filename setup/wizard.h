// The setup wizard ("startinstall"): introduction, licence agreement and
// installation folder, then the copy of the distribution and the start of
// the installed program, which finishes the installation.
#pragma once

#include "shell/app.h"

namespace qvx::setup {

// Runs the wizard to its end; the process then ends with the outcome's code:
// 1 after the installed program was started, 0 when the user cancelled (or
// closed the licence or folder page), 1 when the introduction was closed, 2
// after a failure was shown.
shell::StartHooks::Outcome RunSetupWizard(shell::App& app);

}  // namespace qvx::setup

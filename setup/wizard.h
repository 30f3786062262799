// The setup wizard ("startinstall"): introduction, licence agreement and
// installation folder, then the copy of the distribution and the start of
// the installed program, which finishes the installation.
#pragma once

#include <windows.h>

#include "win32ui/message_box.h"

namespace qvx::setup {

// Runs the wizard to its end and returns the exit code the process ends with:
// 1 after the installed program was started, 0 when the user cancelled (or
// closed the licence or folder page), 1 when the introduction was closed, 2
// after a failure was shown.
int RunSetupWizard(HINSTANCE instance, win32ui::MessageBoxes& messages);

}  // namespace qvx::setup

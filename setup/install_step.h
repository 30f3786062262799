// The install step ("install"), run by the installed program: the entries
// that make it an installed program (start at logon, the list of installed
// programs with the recorded folder, the key file type, Start-menu
// shortcuts), then the first storage login and key pair, then the
// installation folder in the shell. The tray program starts afterwards.
#pragma once

#include <optional>

#include "win32ui/message_box.h"

namespace qvx::setup {

// The last steps of an installation, which other parts of the program
// provide. They run in this order, with no owner window; each shows "&Skip"
// on its Cancel button and returns when the user has finished or skipped.
class FirstRunSteps {
 public:
  virtual ~FirstRunSteps() = default;
  // Log in to the password storage or create an account.
  virtual void FirstStorageLogin() = 0;
  // The key pair wizard.
  virtual void FirstKeyPair() = 0;
};

// Registers the installed program, runs the first-run steps and opens the
// installation folder. nullopt: the tray program starts next. When the
// registry could not be written that is shown (string 23 and what it means)
// and the process ends with the returned code -1. When COM cannot be started
// that is shown and the tray program starts without the registration.
std::optional<int> FinishInstallation(win32ui::MessageBoxes& messages, FirstRunSteps& steps);

}  // namespace qvx::setup

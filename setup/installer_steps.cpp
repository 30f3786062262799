// The steps other parts register for the end of an installation.
#include "setup/installer_steps.h"

namespace qvx::setup {

InstallerSteps& RegisteredInstallerSteps() {
  static InstallerSteps steps;
  return steps;
}

}  // namespace qvx::setup

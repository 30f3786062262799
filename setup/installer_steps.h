// The last steps of an installation that other parts of Quorvix provide: the
// first password storage login and the first key pair. The install step runs
// them in this order, before the tray program starts, with no owner window;
// each shows "&Skip" on its Cancel button and returns when the user has
// finished or skipped. A part registers its step from its feature installer
// (shell/feature.h):
//
//   setup::RegisteredInstallerSteps().firstLogin = [](shell::App& app) { ... };
//
// A step nobody registered is left out without a word.
#pragma once

#include <functional>

namespace qvx::shell {
class App;
}

namespace qvx::setup {

struct InstallerSteps {
  // Log in to the password storage or create an account ("&Skip" skips it).
  std::function<void(shell::App&)> firstLogin;
  // The key-pair wizard ("&Skip" on its pages skips it).
  std::function<void(shell::App&)> firstKeyPair;
};

// The steps of this program; filled while the features are installed, read
// when the install step runs.
InstallerSteps& RegisteredInstallerSteps();

}  // namespace qvx::setup

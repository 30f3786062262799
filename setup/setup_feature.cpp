// The installer's part of Quorvix.exe: the setup wizard for "startinstall"
// and the install step for "install".
#include "setup/install_step.h"
#include "setup/installer_steps.h"
#include "setup/wizard.h"
#include "shell/feature.h"

namespace qvx::setup {

namespace {

void Install(shell::App& app) {
  app.startHooks().setupWizard = [](shell::App& a) { return RunSetupWizard(a); };
  app.startHooks().installStep = [](shell::App& a) {
    return FinishInstallation(a, RegisteredInstallerSteps());
  };
}

const shell::FeatureRegistration registration("setup", Install);

}  // namespace

}  // namespace qvx::setup

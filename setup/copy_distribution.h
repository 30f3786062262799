// The installer's copy step: the files of the distribution (the folder the
// running program was started from) into the installation folder, after a
// running Quorvix has been closed; then the installed program is started to
// finish the installation.
#pragma once

#include <optional>
#include <string>

#include "qvx/strings.h"

namespace qvx::setup {

struct StepFailure {
  Msg message;
  std::string arg;  // fills "%s" of the message
};

// Copies the distribution into "folder" (normal form, already checked by
// CheckInstallFolder). Creates the folder and the folders above it. Returns
// the failure to show, or none. A failure stops before anything is started;
// files already copied stay.
std::optional<StepFailure> CopyDistribution(const std::string& folder);

// Starts the installed program with "install" to finish the installation.
std::optional<StepFailure> StartInstalledProgram(const std::string& folder);

}  // namespace qvx::setup

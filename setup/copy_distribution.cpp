// Copying the distribution and starting the installed copy.
#include "setup/copy_distribution.h"

#include <windows.h>

#include "platform/files.h"
#include "setup/model/install_layout.h"
#include "setup/model/windows_path.h"
#include "setup/win32/running_program.h"
#include "setup/win32/system_places.h"

namespace qvx::setup {

namespace {

// How long a running Quorvix gets to end after WM_CLOSE.
constexpr unsigned long kCloseTimeoutMs = 10000;

StepFailure Failure(Msg message, const std::string& path, DWORD error) {
  return StepFailure{message, path + "\n(" + setup::SystemErrorText(error) + ")"};
}

}  // namespace

std::optional<StepFailure> CopyDistribution(const std::string& folder) {
  const std::string own_path = setup::OwnProgramPath();
  const std::string source = FolderOf(own_path);

  // Everything the distribution must hold is checked before anything changes.
  for (const setup::DistributionFile& file : setup::kDistributionFiles) {
    const bool is_program = std::string(file.name) == setup::kProgramFile;
    const std::string from = is_program ? own_path : setup::JoinWindowsPath(source, file.name);
    if (file.required && !setup::FileExists(from)) {
      return StepFailure{Msg::SetupSourceMissing, from};
    }
  }

  // Started from the installation folder itself: the files are in place.
  if (setup::SamePath(setup::ResolvedPath(source), setup::ResolvedPath(folder))) {
    return std::nullopt;
  }

  // A running copy keeps its program file in use (and would refuse the
  // installed program as a second instance).
  if (!setup::CloseRunningQuorvix(kCloseTimeoutMs)) {
    return StepFailure{Msg::SetupStillRunning, {}};
  }

  for (const std::string& step : setup::FoldersAlong(folder)) {
    // Existing folders and drive names fail here; the check below decides.
    CreateDirectoryA(step.c_str(), nullptr);
  }
  if (!setup::FolderExists(folder)) {
    const DWORD error = GetLastError();
    return Failure(Msg::SetupFolderNotCreated, folder, error);
  }

  for (const setup::DistributionFile& file : setup::kDistributionFiles) {
    const bool is_program = std::string(file.name) == setup::kProgramFile;
    const std::string from = is_program ? own_path : setup::JoinWindowsPath(source, file.name);
    if (!setup::FileExists(from)) continue;  // an optional file the distribution lacks
    const std::string to = setup::JoinWindowsPath(folder, file.name);
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
      const DWORD error = GetLastError();
      return Failure(Msg::SetupCopyFailed, to, error);
    }
  }
  return std::nullopt;
}

std::optional<StepFailure> StartInstalledProgram(const std::string& folder) {
  const std::string program = setup::JoinWindowsPath(folder, setup::kProgramFile);
  std::string command_line = "\"" + program + "\" install";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    const DWORD error = GetLastError();
    return Failure(Msg::SetupStartFailed, program, error);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return std::nullopt;
}

}  // namespace qvx::setup

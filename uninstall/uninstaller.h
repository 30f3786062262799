// uninstall.exe: removes the installation the installer recorded. It asks
// first, refuses a recorded folder that is a system place, closes a running
// Quorvix, asks whether the user's keys and password storage go too (default:
// they stay), removes the program's files, shortcuts and registry entries,
// and leaves its own file to a copy of itself that deletes it (and the
// folder, when empty) after the uninstaller has ended.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "setup/model/removal.h"

namespace qvx::uninstall {

// The clean-up copy's work (see CleanupRequest); the process's exit code.
int RunCleanup(const setup::CleanupRequest& request);

class Uninstaller {
 public:
  explicit Uninstaller(HINSTANCE instance) : instance_(instance) {}

  // The process's exit code: 0 when removed or cancelled at the first
  // question, 1 when nothing could be removed (the reason was shown).
  int Run();

 private:
  std::string Text(UINT id, const std::string& arg = {}) const;
  int Ask(UINT id, UINT style, const std::string& arg = {}) const;
  void Tell(UINT id, UINT style, const std::string& arg = {}) const;

  bool CloseProgram() const;
  void RemoveFiles(const std::string& folder, bool with_user_data);
  void RemoveShortcuts();
  void RemoveRegistryEntries(const std::string& folder);
  void RemoveOwnFileAndFolder(const std::string& folder);
  void Report(const std::string& folder) const;
  void Delete(const std::string& folder, const std::string& relative);

  HINSTANCE instance_;
  std::vector<std::string> kept_;       // user data left in place
  std::vector<std::string> left_alone_;  // not Quorvix's
  std::vector<std::string> failed_;     // could not be deleted
};

}  // namespace qvx::uninstall

// What the uninstaller removes from an installation folder: the files of the
// distribution always, the user's own data (keys, password storage) only when
// the user agrees, and nothing that Quorvix did not put there. Decided from a
// listing of the folder, so the rule is tested without touching files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::setup {

struct FolderListing {
  std::vector<std::string> files;    // names of the files directly inside
  std::vector<std::string> folders;  // names of the folders directly inside
};

// The installation folder and its two key folders ("public", "privat"; empty
// listings when they do not exist).
struct InstallationContents {
  FolderListing root;
  FolderListing public_keys;
  FolderListing private_keys;
};

// Paths relative to the installation folder ("privat\x.qvx").
struct RemovalPlan {
  // Distribution files except the uninstaller, which removes itself last.
  std::vector<std::string> program_files;
  bool uninstaller_present = false;
  // Key files, password storage, associations, key transport files and the
  // temporary files of interrupted saves.
  std::vector<std::string> userData;
  // The key folders, removed when they are empty at the end.
  std::vector<std::string> folders_when_empty;
  // Files and folders Quorvix did not put there: never removed.
  std::vector<std::string> left_alone;
};

RemovalPlan PlanRemoval(const InstallationContents& contents);

// Whether a file name directly in the installation folder is the user's data.
bool IsUserDataFile(std::string_view name);

// The uninstaller cannot delete its own running file. When it runs from the
// installation folder it leaves that to a copy of itself in the temporary
// folder, started as "/cleanup <handle> \"<folder>\"": the copy waits until
// the uninstaller's process (the inherited handle) has ended, deletes the
// uninstaller's file and the folder when empty, and has its own file deleted
// by the system's command processor after it has ended in turn.
struct CleanupRequest {
  std::uintptr_t process = 0;  // inherited handle of the uninstaller's process
  std::string folder;
};
std::string CleanupArguments(const CleanupRequest& request);
// The request in a program's arguments (after its name); none when they are
// not a clean-up request.
std::optional<CleanupRequest> ParseCleanupArguments(const std::vector<std::string>& args);

// The environment variable that names the file the command processor deletes.
inline constexpr char kDeleteFileVariable[] = "QVX_UNINSTALL_FILE";
// Arguments for the command processor (after its name) that delete that file.
// The path comes through the variable, so that no character in it can change
// the command.
std::string DeleteFileCommandArguments();

}  // namespace qvx::setup

// What the uninstaller removes from an installation folder: the files of the
// distribution always, the user's own data (keys, password storage) only when
// the user agrees, and nothing that Quorvix did not put there. Decided from a
// listing of the folder, so the rule is tested without touching files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qvx::install {

struct FolderListing {
  std::vector<std::string> files;    // names of the files directly inside
  std::vector<std::string> folders;  // names of the folders directly inside
};

// The installation folder and its two key folders ("public", "privat"; empty
// listings when they do not exist).
struct InstallationContents {
  FolderListing root;
  FolderListing publicKeys;
  FolderListing privateKeys;
};

// Paths relative to the installation folder ("privat\x.qvx").
struct RemovalPlan {
  // Distribution files except the uninstaller, which removes itself last.
  std::vector<std::string> programFiles;
  bool uninstallerPresent = false;
  // Key files, password storage, associations, key transport files and the
  // temporary files of interrupted saves.
  std::vector<std::string> userData;
  // The key folders, removed when they are empty at the end.
  std::vector<std::string> foldersWhenEmpty;
  // Files and folders Quorvix did not put there: never removed.
  std::vector<std::string> leftAlone;
};

RemovalPlan PlanRemoval(const InstallationContents& contents);

// Whether a file name directly in the installation folder is the user's data.
bool IsUserDataFile(std::string_view name);

// The environment variables through which the clean-up command gets its two
// paths: the uninstaller's own file and the installation folder.
inline constexpr char kCleanupFileVariable[] = "QVX_UNINSTALL_FILE";
inline constexpr char kCleanupFolderVariable[] = "QVX_UNINSTALL_FOLDER";

// Arguments for the system's command processor (after its name) that delete
// the uninstaller's file once the uninstaller has ended (retrying while the
// file is still in use, a bounded number of times) and then remove the
// installation folder if it is empty. The paths are read from the two
// variables above with delayed expansion, so that no character in them can
// change the command and no path length limit applies.
std::string CleanupCommandArguments();

}  // namespace qvx::install

// Places of this system that the installer and the uninstaller need: the
// program's own file, the all-users Start-menu programs folder, and the
// folders that must never be an installation folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qvx::setup {

// Full path of the running program file.
std::string OwnProgramPath();

// The all-users Start-menu "Programs" folder; none when the system has none.
std::optional<std::string> CommonProgramsFolder();

// The Windows and system folders, Program Files (both views) and Common Files,
// the profile folders of this user and of all users, and the data and menu
// folders inside them. An installation folder must neither be one of them nor
// contain one (see CheckInstallFolder).
std::vector<std::string> ProtectedFolders();

// The path as the file system spells it: absolute, with long names for short
// (8.3) ones where the path exists. The text itself when that fails.
std::string ResolvedPath(const std::string& path);

// Whether the path names an existing folder.
bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);

// The system's message for an error code, without a trailing line break.
std::string SystemErrorText(unsigned long code);

}  // namespace qvx::setup

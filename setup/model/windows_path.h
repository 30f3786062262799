// Windows paths as text, for the installer and the uninstaller: normal form,
// comparison, the folders along a path, and the rule which folders may hold an
// installation. Pure string work (no file system), so it is tested anywhere.
// Paths are ANSI; letters compare without regard to ASCII case, as the file
// system does for them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::setup {

// The normal form of an absolute path: "C:\dir\sub" or "\\server\share\dir";
// '/' becomes '\', repeated separators, "." and ".." components and trailing
// dots and blanks of a component are resolved as Windows resolves them, no
// trailing separator except in a drive root ("C:\"). Surrounding blanks and
// one pair of double quotes around the whole text are removed. Empty when the
// text is no absolute path (relative, "C:dir", "\dir", a lone "\\server").
std::optional<std::string> NormalizeAbsolutePath(std::string_view text);

// Whether two normal-form paths name the same place.
bool SamePath(std::string_view a, std::string_view b);

// Whether "path" is "folder" itself or lies inside it (both in normal form).
bool IsSameOrInside(std::string_view folder, std::string_view path);

// Whether a normal-form path is a drive root ("C:\") or a share ("\\srv\sh").
bool IsRoot(std::string_view path);

// The folders from the first one below the root down to the path itself, in
// the order in which they have to be created: "C:\a\b" gives "C:\a", "C:\a\b".
std::vector<std::string> FoldersAlong(std::string_view normal_path);

// folder + '\' + name, without doubling a separator the folder ends with.
std::string JoinWindowsPath(std::string_view folder, std::string_view name);

// Everything before the last '\' (the folder of a file), without it; a root
// keeps its separator ("C:\x" gives "C:\").
std::string ParentOf(std::string_view normal_path);

enum class FolderVerdict {
  Ok,
  NotAbsolute,  // no absolute path
  Root,         // a whole drive or share
  Protected,    // a system or profile folder, or a folder that contains one
};

// Whether a folder may hold an installation (and so be emptied by the
// uninstaller). "protectedFolders" are the places of the system that must
// never be an installation folder (the Windows and system folders, Program
// Files, profile folders); a folder that contains one of them is refused too.
// Protected folders that are no absolute path are ignored.
FolderVerdict CheckInstallFolder(std::string_view folder,
                                 const std::vector<std::string>& protected_folders);

}  // namespace qvx::setup

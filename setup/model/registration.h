// The registry values an installation writes, as text: the autostart command,
// the uninstall entry with the recorded folder, and the file type of key
// files. The installer writes exactly these; the uninstaller recognises its
// own entries by them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::setup {

struct RegistryValue {
  std::string name;    // empty: the key's default value
  bool is_dword = false;
  std::string text;    // REG_SZ data
  std::uint32_t number = 0;  // REG_DWORD data
};

// "\"<program>\" regrun": the Run value that starts the program at logon.
std::string AutostartCommand(std::string_view program_path);

// "\"<program>\",0" and "\"<program>\" \"%1\"": the icon and open command of
// the key file type.
std::string FileTypeIcon(std::string_view program_path);
std::string FileTypeOpenCommand(std::string_view program_path);

// The values of the uninstall entry for an installation in "folder" (normal
// form): the display name, the quoted uninstaller path, the folder itself
// (InstallLocation, what the uninstaller may remove from), icon, version,
// publisher, and that the entry offers no change or repair.
std::vector<RegistryValue> UninstallEntryValues(std::string_view folder);

// Whether a registry text written by the installer refers to the program in
// that folder: the uninstaller leaves entries that now belong to another
// installation.
bool RefersToProgramIn(std::string_view registry_text, std::string_view folder);

}  // namespace qvx::setup

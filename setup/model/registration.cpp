// Registry value texts of an installation.
#include "setup/model/registration.h"

#include <cctype>

#include "setup/model/install_layout.h"
#include "setup/model/windows_path.h"

namespace qvx::setup {

namespace {

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

RegistryValue Text(std::string name, std::string text) {
  return RegistryValue{std::move(name), false, std::move(text), 0};
}

RegistryValue Number(std::string name, std::uint32_t number) {
  return RegistryValue{std::move(name), true, {}, number};
}

}  // namespace

std::string AutostartCommand(std::string_view program_path) {
  return Quoted(program_path) + " " + kAutostartArgument;
}

std::string FileTypeIcon(std::string_view program_path) { return Quoted(program_path) + ",0"; }

std::string FileTypeOpenCommand(std::string_view program_path) {
  return Quoted(program_path) + " \"%1\"";
}

std::vector<RegistryValue> UninstallEntryValues(std::string_view folder) {
  const std::string program = JoinWindowsPath(folder, kProgramFile);
  return {
      Text(kDisplayNameValue, kDisplayName),
      // Quoted: an unquoted path with blanks would let the system try
      // "C:\Program.exe" first.
      Text(kUninstallStringValue, Quoted(JoinWindowsPath(folder, kUninstallerFile))),
      Text(kInstallLocationValue, std::string(folder)),
      Text(kDisplayIconValue, program + ",0"),
      Text(kDisplayVersionValue, kDisplayVersion),
      Text(kPublisherValue, kPublisher),
      Number(kNoModifyValue, 1),
      Number(kNoRepairValue, 1),
  };
}

bool RefersToProgramIn(std::string_view registry_text, std::string_view folder) {
  const std::string program = JoinWindowsPath(folder, kProgramFile);
  std::string_view text = registry_text;
  if (!text.empty() && text.front() == '"') text.remove_prefix(1);
  if (text.size() < program.size()) return false;
  for (std::size_t i = 0; i < program.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(program[i]))) {
      return false;
    }
  }
  return text.size() == program.size() || text[program.size()] == '"' ||
         text[program.size()] == ' ' || text[program.size()] == ',';
}

}  // namespace qvx::setup

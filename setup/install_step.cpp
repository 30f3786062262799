// Registry entries, shortcuts and the first steps of an installed program.
#include "setup/install_step.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/files.h"
#include "setup/com_scope.h"
#include "setup/model/install_layout.h"
#include "setup/model/registration.h"
#include "setup/model/windows_path.h"
#include "setup/shortcut.h"
#include "setup/win32/registry_key.h"
#include "setup/win32/system_places.h"

namespace qvx::setup {

namespace {

bool WriteUninstallEntry(const std::string& folder) {
  const auto key = setup::RegistryKey::Create(
      HKEY_LOCAL_MACHINE,
      std::string(setup::kUninstallParentKey) + "\\" + setup::kUninstallSubkey);
  if (!key) return false;
  bool ok = true;
  for (const setup::RegistryValue& v : setup::UninstallEntryValues(folder)) {
    ok = (v.is_dword ? key.SetDword(v.name, v.number) : key.SetString(v.name, v.text)) && ok;
  }
  return ok;
}

bool WriteAutostart(const std::string& program) {
  const auto key = setup::RegistryKey::Create(HKEY_LOCAL_MACHINE, setup::kRunKey);
  return key.SetString(setup::kRunValue, setup::AutostartCommand(program));
}

bool RegisterFileType(const std::string& program) {
  const struct {
    const char* key;
    std::string value;
  } entries[] = {
      {setup::kKeyFileExtension, setup::kFileTypeName},
      {setup::kFileTypeIconKey, setup::FileTypeIcon(program)},
      {setup::kFileTypeCommandKey, setup::FileTypeOpenCommand(program)},
  };
  for (const auto& e : entries) {
    if (!setup::RegistryKey::Create(HKEY_CLASSES_ROOT, e.key).SetString({}, e.value)) {
      return false;
    }
  }
  // Explorer shows the new icon and verb without a restart.
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return true;
}

// The Start-menu folder with its three shortcuts; each failure is shown and
// the next shortcut is still made.
void CreateShortcuts(const std::string& folder, MessageShow& messages) {
  const auto programs = setup::CommonProgramsFolder();
  if (!programs) return;
  const std::string menu_folder = setup::JoinWindowsPath(*programs, setup::kShortcutFolder);
  CreateDirectoryA(menu_folder.c_str(), nullptr);
  for (const setup::Shortcut& s : setup::kShortcuts) {
    CreateShortcut(setup::JoinWindowsPath(folder, s.target), s.description,
                   setup::JoinWindowsPath(menu_folder, s.link_name), messages);
  }
}

void OpenInstallFolder(const std::string& folder) {
  ShellExecuteA(nullptr, "open", folder.c_str(), nullptr, nullptr, SW_SHOW);
}

}  // namespace

std::optional<int> FinishInstallation(win32ui::MessageBoxes& messages, FirstRunSteps& steps) {
  const ComScope com;
  if (!com.ok()) {
    messages.Show(Msg::CoInitializeFailed, BoxKind::Error);
    return std::nullopt;
  }
  const std::string program = setup::OwnProgramPath();
  const std::string folder = FolderOf(program);

  // The uninstall entry first: it records the folder the uninstaller may
  // empty, so nothing else is registered without it.
  bool registered = WriteUninstallEntry(folder);
  registered = registered && WriteAutostart(program);
  registered = registered && RegisterFileType(program);
  if (!registered) {
    // Without the uninstall entry nothing could remove shortcuts made now.
    messages.Show(Msg::RegistryError, BoxKind::Error);
    messages.Show(Msg::SetupNotRegistered, BoxKind::Error, folder);
    return -1;
  }
  CreateShortcuts(folder, messages);

  steps.FirstStorageLogin();
  steps.FirstKeyPair();
  OpenInstallFolder(folder);
  return std::nullopt;
}

}  // namespace qvx::setup

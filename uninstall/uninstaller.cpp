// The uninstaller's steps.
#include "uninstall/uninstaller.h"

#include "setup/model/install_layout.h"
#include "setup/model/registration.h"
#include "setup/model/removal.h"
#include "setup/model/windows_path.h"
#include "setup/win32/registry_key.h"
#include "setup/win32/running_program.h"
#include "setup/win32/system_places.h"
#include "uninstall/uninstall_ids.h"

namespace qvx::uninstall {

namespace {

using namespace setup;

constexpr char kCaption[] = "Quorvix";
// How long a running Quorvix gets to end after WM_CLOSE.
constexpr unsigned long kCloseTimeoutMs = 10000;
// How long the clean-up copy waits for the uninstaller to end.
constexpr DWORD kHelperWaitMs = 60000;
// At most this many names in one message.
constexpr std::size_t kListedNames = 12;

std::string UninstallEntryKey() {
  return std::string(kUninstallParentKey) + "\\" + kUninstallSubkey;
}

FolderListing List(const std::string& folder) {
  FolderListing listing;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA(JoinWindowsPath(folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return listing;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      listing.folders.push_back(name);
    } else {
      listing.files.push_back(name);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return listing;
}

InstallationContents ListInstallation(const std::string& folder) {
  InstallationContents contents;
  contents.root = List(folder);
  for (const std::string& sub : contents.root.folders) {
    if (SamePath(sub, kPublicKeyFolder)) contents.public_keys = List(JoinWindowsPath(folder, sub));
    if (SamePath(sub, kPrivateKeyFolder)) contents.private_keys = List(JoinWindowsPath(folder, sub));
  }
  return contents;
}

bool DeleteFileNow(const std::string& path) {
  // A read-only attribute would make the deletion fail.
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (DeleteFileA(path.c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::string NameList(const std::vector<std::string>& names) {
  std::string list;
  for (std::size_t i = 0; i < names.size() && i < kListedNames; ++i) list += "\n" + names[i];
  if (names.size() > kListedNames) {
    list += "\n(" + std::to_string(names.size() - kListedNames) + " more)";
  }
  return list.empty() ? list : list.substr(1);
}

// The recorded installation folder in normal form, as the file system spells
// it; none when no installation is recorded.
std::optional<std::string> RecordedFolder() {
  const auto key = RegistryKey::Open(HKEY_LOCAL_MACHINE, UninstallEntryKey());
  const auto location = key.ReadString(kInstallLocationValue);
  if (!location) return std::nullopt;
  return NormalizeAbsolutePath(*location);
}

std::string TempFolder() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(MAX_PATH + 1, path);
  return n > 0 && n <= MAX_PATH ? std::string(path, n) : std::string();
}

std::string SystemFolder() {
  char path[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryA(path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string();
}

// Starts a program with a command line; the handles of the new process are
// closed at once. "inherit": it inherits this process's inheritable handles.
bool Start(const std::string& program, std::string command_line, DWORD flags, bool inherit,
           int priority = 0) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  // Its working folder must not be one it removes.
  const std::string working_folder = SystemFolder();
  if (!CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, inherit ? TRUE : FALSE,
                      flags, nullptr, working_folder.empty() ? nullptr : working_folder.c_str(),
                      &startup, &process)) {
    return false;
  }
  if (priority != 0) SetPriorityClass(process.hProcess, static_cast<DWORD>(priority));
  if ((flags & CREATE_SUSPENDED) != 0) ResumeThread(process.hThread);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

bool FolderAllowed(const std::string& folder) {
  // Judged as recorded and as resolved, so that a short name ("C:\PROGRA~1")
  // or a mapped path cannot hide a system folder.
  const std::vector<std::string> guarded = ProtectedFolders();
  for (const std::string& candidate : {folder, ResolvedPath(folder)}) {
    if (CheckInstallFolder(candidate, guarded) != FolderVerdict::Ok) return false;
  }
  return true;
}

}  // namespace

namespace {

bool StartCleanupHelper(const std::string& own, const std::string& folder) {
  const std::string temp = TempFolder();
  if (temp.empty()) return false;
  const std::string helper =
      JoinWindowsPath(temp, "qvx-uninstall-" + std::to_string(GetCurrentProcessId()) + ".exe");
  if (!CopyFileA(own.c_str(), helper.c_str(), FALSE)) return false;
  // The helper waits on this handle until this process has ended.
  HANDLE self = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                       SYNCHRONIZE, TRUE, 0)) {
    DeleteFileA(helper.c_str());
    return false;
  }
  const CleanupRequest request{reinterpret_cast<std::uintptr_t>(self), folder};
  const bool started =
      Start(helper, "\"" + helper + "\" " + CleanupArguments(request), 0, true);
  CloseHandle(self);
  if (!started) DeleteFileA(helper.c_str());
  return started;
}

}  // namespace

int RunCleanup(const CleanupRequest& request) {
  // Only an installation folder, and there only the uninstaller's file.
  const auto folder = NormalizeAbsolutePath(request.folder);
  if (!folder || !FolderAllowed(*folder)) return 1;
  HANDLE uninstaller = reinterpret_cast<HANDLE>(request.process);
  WaitForSingleObject(uninstaller, kHelperWaitMs);
  CloseHandle(uninstaller);
  const std::string installed = JoinWindowsPath(*folder, kUninstallerFile);
  // The file may stay in use for a moment after its process has ended.
  for (int attempt = 0; attempt < 100 && !DeleteFileNow(installed); ++attempt) Sleep(50);
  RemoveDirectoryA(folder->c_str());

  // This copy's own file: the command processor deletes it once this process
  // has ended; it is started suspended at idle priority, behind this process
  // at high priority. The system deletes it at the next restart otherwise.
  const std::string own = OwnProgramPath();
  MoveFileExA(own.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  SetEnvironmentVariableA(kDeleteFileVariable, own.c_str());
  char shell[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA("ComSpec", shell, MAX_PATH);
  const std::string processor =
      n > 0 && n < MAX_PATH ? std::string(shell) : JoinWindowsPath(SystemFolder(), "cmd.exe");
  SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
  Start(processor, "\"" + processor + "\" " + DeleteFileCommandArguments(),
        CREATE_SUSPENDED | CREATE_NO_WINDOW, false, IDLE_PRIORITY_CLASS);
  return 0;
}

std::string Uninstaller::Text(UINT id, const std::string& arg) const {
  const wchar_t* raw = nullptr;
  const int n = LoadStringW(instance_, id, reinterpret_cast<LPWSTR>(&raw), 0);
  std::string text;
  if (n > 0 && raw != nullptr) {
    const int bytes = WideCharToMultiByte(CP_ACP, 0, raw, n, nullptr, 0, nullptr, nullptr);
    text.assign(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, raw, n, text.data(), bytes, nullptr, nullptr);
  }
  if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, arg);
  return text;
}

int Uninstaller::Ask(UINT id, UINT style, const std::string& arg) const {
  return MessageBoxA(nullptr, Text(id, arg).c_str(), kCaption, style | MB_SYSTEMMODAL);
}

void Uninstaller::Tell(UINT id, UINT style, const std::string& arg) const {
  Ask(id, style | MB_OK, arg);
}

int Uninstaller::Run() {
  if (MessageBoxA(nullptr, Text(IDS_CONFIRM).c_str(), kCaption, MB_OKCANCEL) != IDOK) return 0;

  // Only the folder the installer recorded is ever touched.
  const auto folder = RecordedFolder();
  if (!folder) {
    Tell(IDS_NOT_INSTALLED, MB_ICONERROR);
    return 1;
  }
  if (!FolderAllowed(*folder)) {
    Tell(IDS_FOLDER_REFUSED, MB_ICONERROR, *folder);
    return 1;
  }
  if (!CloseProgram()) return 1;

  // The program file goes first: when it is still in use (a key file window,
  // another desktop), nothing else is removed yet.
  const std::string program = JoinWindowsPath(*folder, kProgramFile);
  if (!DeleteFileNow(program)) {
    Tell(IDS_PROGRAM_IN_USE, MB_ICONERROR, program);
    return 1;
  }

  const RemovalPlan plan = PlanRemoval(ListInstallation(*folder));
  const bool with_user_data =
      !plan.userData.empty() &&
      Ask(IDS_ASK_USER_DATA, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, *folder) == IDYES;
  for (const std::string& file : plan.program_files) Delete(*folder, file);
  for (const std::string& file : plan.userData) {
    if (with_user_data) {
      Delete(*folder, file);
    } else {
      kept_.push_back(file);
    }
  }
  for (const std::string& sub : plan.folders_when_empty) {
    RemoveDirectoryA(JoinWindowsPath(*folder, sub).c_str());
  }
  left_alone_ = plan.left_alone;

  RemoveShortcuts();
  RemoveRegistryEntries(*folder);
  Report(*folder);
  RemoveOwnFileAndFolder(*folder);
  return 0;
}

bool Uninstaller::CloseProgram() const {
  while (!CloseRunningQuorvix(kCloseTimeoutMs)) {
    if (Ask(IDS_STILL_RUNNING, MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY) return false;
  }
  return true;
}

void Uninstaller::Delete(const std::string& folder, const std::string& relative) {
  if (!DeleteFileNow(JoinWindowsPath(folder, relative))) failed_.push_back(relative);
}

void Uninstaller::RemoveShortcuts() {
  const auto programs = CommonProgramsFolder();
  if (!programs) return;
  const std::string menu_folder = JoinWindowsPath(*programs, kShortcutFolder);
  for (const Shortcut& s : kShortcuts) {
    DeleteFileNow(JoinWindowsPath(menu_folder, s.link_name));
  }
  // Shortcuts the user added there keep the folder.
  RemoveDirectoryA(menu_folder.c_str());
}

void Uninstaller::RemoveRegistryEntries(const std::string& folder) {
  // Entries that now point at another installation are not ours to delete.
  if (const auto run = RegistryKey::Open(HKEY_LOCAL_MACHINE, kRunKey, KEY_READ | KEY_SET_VALUE)) {
    const auto command = run.ReadString(kRunValue);
    if (command && RefersToProgramIn(*command, folder)) run.DeleteValue(kRunValue);
  }

  const auto command = RegistryKey::Open(HKEY_CLASSES_ROOT, kFileTypeCommandKey).ReadString({});
  const auto icon = RegistryKey::Open(HKEY_CLASSES_ROOT, kFileTypeIconKey).ReadString({});
  if ((command && RefersToProgramIn(*command, folder)) || (icon && RefersToProgramIn(*icon, folder))) {
    const auto type = RegistryKey::Open(HKEY_CLASSES_ROOT, kKeyFileExtension).ReadString({});
    if (type && SamePath(*type, kFileTypeName)) DeleteKeyTree(HKEY_CLASSES_ROOT, kKeyFileExtension);
    DeleteKeyTree(HKEY_CLASSES_ROOT, kFileTypeName);
  }

  DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
  // The company key stays while another product of ours keeps data there.
  DeleteKeyIfEmpty(HKEY_CURRENT_USER, kCompanyKey);

  DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallEntryKey());
}

void Uninstaller::Report(const std::string& folder) const {
  if (kept_.empty() && left_alone_.empty() && failed_.empty()) return;
  std::string text = Text(IDS_REMOVED);
  if (!kept_.empty()) text += "\n\n" + Text(IDS_DATA_KEPT, folder);
  if (!left_alone_.empty()) text += "\n\n" + Text(IDS_LEFT_ALONE, NameList(left_alone_));
  if (!failed_.empty()) text += "\n\n" + Text(IDS_NOT_DELETED, NameList(failed_));
  MessageBoxA(nullptr, text.c_str(), kCaption,
              MB_OK | MB_SYSTEMMODAL | (failed_.empty() ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
}

void Uninstaller::RemoveOwnFileAndFolder(const std::string& folder) {
  const std::string own = ResolvedPath(OwnProgramPath());
  const std::string installed = JoinWindowsPath(folder, kUninstallerFile);
  if (!IsSameOrInside(folder, own) && !IsSameOrInside(ResolvedPath(folder), own)) {
    // Started from elsewhere: the installed uninstaller is an ordinary file.
    DeleteFileNow(installed);
    RemoveDirectoryA(folder.c_str());
    return;
  }
  // This process cannot delete its own file: a copy of it in the temporary
  // folder does, once this process has ended (see CleanupRequest).
  if (!StartCleanupHelper(own, folder)) {
    // Then the system removes both at the next restart.
    MoveFileExA(installed.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

}  // namespace qvx::uninstall

// Driving an installation under Wine.
#include "tests/setup/e2e/install_driver.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace qvx::e2e::setup {

namespace {

std::string Backslashes(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

// Controls the first-run dialogs are told apart by: the login's account
// name edit and the key pair wizard's length slider.
constexpr int kLoginNameEdit = 1002;
constexpr int kKeyLengthSlider = 1018;

HWND FindDialog(DWORD pid, const char* title, int control, int without_control) {
  WindowMatch match;
  match.pid = pid;
  match.class_name = "#32770";
  match.title = title;
  match.with_control = control;
  HWND found = nullptr;
  WaitUntil([&] {
    for (HWND w : TopLevelWindows(match)) {
      if (without_control < 0 || GetDlgItem(w, without_control) == nullptr) {
        found = w;
        return true;
      }
    }
    return false;
  });
  return found;
}

DialogDriver Page(DWORD pid, const char* title, int control, int without_control,
                  const std::string& what) {
  HWND page = FindDialog(pid, title, control, without_control);
  if (page != nullptr) SaveScreenshot(page, what);
  return DialogDriver(page);
}

}  // namespace

std::string DistributionFolder() { return Backslashes(QVX_DISTRIBUTION_DIR); }

const std::vector<std::string>& DistributionFiles() {
  static const std::vector<std::string> files = {"Quorvix.exe", "uninstall.exe", "License.txt",
                                                 "QVX Help.chm"};
  return files;
}

bool FileExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

std::optional<std::string> ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA(Join(folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    names.push_back((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? name + "\\" : name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::string& folder) {
  for (const std::string& name : FolderNames(folder)) {
    const std::string path = Join(folder, name);
    if (name.back() == '\\') {
      RemoveTree(path.substr(0, path.size() - 1));
    } else {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
  }
  RemoveDirectoryA(folder.c_str());
}

bool CopyDistributionTo(const std::string& folder) {
  std::string path;
  for (std::size_t i = 0; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '\\') {
      path = folder.substr(0, i);
      if (path.size() > 2) CreateDirectoryA(path.c_str(), nullptr);
    }
  }
  for (const std::string& file : DistributionFiles()) {
    if (!CopyFileA(Join(DistributionFolder(), file).c_str(), Join(folder, file).c_str(), FALSE)) {
      return false;
    }
  }
  return true;
}

std::optional<std::string> RegText(HKEY root, const std::string& key, const std::string& value) {
  char data[4096] = {};
  DWORD size = sizeof data;
  if (RegGetValueA(root, key.c_str(), value.empty() ? nullptr : value.c_str(), RRF_RT_REG_SZ,
                   nullptr, data, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(data);
}

std::optional<DWORD> RegNumber(HKEY root, const std::string& key, const std::string& value) {
  DWORD data = 0;
  DWORD size = sizeof data;
  if (RegGetValueA(root, key.c_str(), value.c_str(), RRF_RT_REG_DWORD, nullptr, &data, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return data;
}

bool RegKeyExists(HKEY root, const std::string& key) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

bool RegWriteText(HKEY root, const std::string& key, const std::string& value,
                  const std::string& text) {
  return RegSetKeyValueA(root, key.c_str(), value.empty() ? nullptr : value.c_str(), REG_SZ,
                         text.c_str(), static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

std::vector<std::string> RegValueNames(HKEY root, const std::string& key) {
  std::vector<std::string> names;
  HKEY h = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    char name[256] = {};
    DWORD size = sizeof name;
    if (RegEnumValueA(h, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name);
  }
  RegCloseKey(h);
  std::sort(names.begin(), names.end());
  return names;
}

std::string CommonProgramsFolder() {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::string ShortcutFolder() { return Join(CommonProgramsFolder(), "Quorvix"); }

std::optional<ShortcutInfo> ResolveShortcut(const std::string& link) {
  if (!FileExists(link)) return std::nullopt;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::optional<ShortcutInfo> info;
  IShellLinkA* shell_link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&shell_link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      std::wstring wide(link.begin(), link.end());
      if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
        char target[MAX_PATH] = {};
        char description[INFOTIPSIZE] = {};
        shell_link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        shell_link->GetDescription(description, INFOTIPSIZE);
        info = ShortcutInfo{target, description};
      }
      file->Release();
    }
    shell_link->Release();
  }
  CoUninitialize();
  return info;
}

void CloseFolderWindows() {
  // The install step shows the installation folder in a shell window; Help
  // opens the help viewer, which keeps the help file open.
  WindowMatch folders;
  folders.class_name = "ExplorerWClass";
  WindowMatch help;
  help.title = "Quorvix Help";
  for (const WindowMatch& match : {folders, help}) {
    for (HWND w : TopLevelWindows(match)) {
      const DWORD pid = ProcessOf(w);
      PostMessageA(w, WM_CLOSE, 0, 0);
      WaitGone(w, 5000);
      WaitProcessExit(pid, 5000);
    }
  }
}

void RemoveTestInstallation() {
  ResetQuorvixState();
  CloseFolderWindows();
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
  HKEY run = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
    RegDeleteValueA(run, "Quorvix");
    RegCloseKey(run);
  }
  RegDeleteTreeA(HKEY_CLASSES_ROOT, ".qvx");
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "zplfile");
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Koltharin");
  char program_files[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, program_files);
  // Files stay in use for a moment after the programs that used them ended.
  for (const std::string& folder : {ShortcutFolder(), std::string(kTestRoot),
                                    Join(program_files, "Quorvix")}) {
    WaitUntil([&] {
      RemoveTree(folder);
      return !FolderExists(folder);
    }, 10000);
  }
}

std::optional<Running> WaitForQuorvix(DWORD timeout_ms) {
  WindowMatch match;
  match.class_name = Quorvix::kWindowClass;
  match.visible_only = false;
  HWND main = WaitForTopLevel(match, timeout_ms);
  if (main == nullptr) return std::nullopt;
  Running r;
  r.main = main;
  r.pid = ProcessOf(main);
  if (HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, r.pid)) {
    char image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (QueryFullProcessImageNameA(p, 0, image, &size)) r.image = image;
    CloseHandle(p);
  }
  return r;
}

std::optional<DWORD> WaitProcessExit(DWORD pid, DWORD timeout_ms) {
  HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (p == nullptr) return std::nullopt;
  std::optional<DWORD> code;
  DWORD value = 0;
  if (WaitForSingleObject(p, timeout_ms) == WAIT_OBJECT_0 && GetExitCodeProcess(p, &value)) {
    code = value;
  }
  CloseHandle(p);
  return code;
}

DialogDriver WaitIntroPage(DWORD pid, const std::string& what) {
  return Page(pid, "About Quorvix", 1014, -1, what);
}

DialogDriver WaitLicencePage(DWORD pid, const std::string& what) {
  return Page(pid, "Quorvix Installation", 1002, 1001, what);
}

DialogDriver WaitFolderPage(DWORD pid, const std::string& what) {
  return Page(pid, "Quorvix Installation", 1001, -1, what);
}

DialogDriver WaitFirstLogin(DWORD pid) {
  return Page(pid, "Passwords Storage Login", kLoginNameEdit, -1, "first-login");
}

DialogDriver WaitFirstKeyPairPage(DWORD pid) {
  return Page(pid, "Quorvix Key Pair Generation - Step 1 of 4", kKeyLengthSlider, -1,
              "first-key-pair");
}

bool SkipFirstRunSteps(DWORD pid) {
  for (DialogDriver (*wait)(DWORD) : {&WaitFirstLogin, &WaitFirstKeyPairPage}) {
    const DialogDriver step = wait(pid);
    if (!step || step.Text(IDCANCEL) != "&Skip") return false;
    step.Click(IDCANCEL);
  }
  return true;
}

Process StartWizard() {
  return Process::Start(QuoteArgument(Join(DistributionFolder(), "Quorvix.exe")) + " startinstall");
}

std::optional<Running> InstallWithWizard(const std::string& folder) {
  Process wizard = StartWizard();
  DialogDriver intro = WaitIntroPage(wizard.pid());
  if (!intro) return std::nullopt;
  intro.Click(IDOK);
  DialogDriver licence = WaitLicencePage(wizard.pid());
  if (!licence) return std::nullopt;
  licence.Click(IDOK);
  DialogDriver target = WaitFolderPage(wizard.pid());
  if (!target) return std::nullopt;
  if (!folder.empty()) target.SetText(1002, folder);
  target.Click(IDOK);
  if (wizard.WaitExit() != 1u) return std::nullopt;
  if (!SkipFirstRunSteps()) return std::nullopt;
  return WaitForQuorvix();
}

Uninstall StartUninstaller(const std::string& path) {
  Uninstall u;
  u.process = Process::Start(QuoteArgument(path));
  u.question = WaitForMessageBox(u.process.pid(), "uninstall-question");
  return u;
}

}  // namespace qvx::e2e::setup

// Driving an installation of Quorvix under Wine: the unpacked distribution,
// the setup wizard's pages, the installed program, uninstall.exe and its
// questions, and reading back what an installation leaves on the system
// (files, registry values, Start-menu shortcuts).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/e2e/e2e.h"

namespace qvx::e2e::setup {

// The folder the test distribution zip was unpacked into (Windows path).
std::string DistributionFolder();
// Where the tests install to, and a sibling folder that must never change.
inline constexpr char kTestRoot[] = "C:\\QvxTest";
inline constexpr char kTarget[] = "C:\\QvxTest\\Apps\\Quorvix";
inline constexpr char kNeighbour[] = "C:\\QvxTest\\Apps\\Neighbour";

// The files an installation holds, in the order of the distribution.
const std::vector<std::string>& DistributionFiles();

// Files and folders.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
bool WriteTextFile(const std::string& path, const std::string& text);
std::optional<std::string> ReadTextFile(const std::string& path);
// Names directly in a folder, sorted; folders get a trailing backslash.
std::vector<std::string> FolderNames(const std::string& folder);
// Removes a folder with everything in it (test clean-up only).
void RemoveTree(const std::string& folder);
// Copies the distribution's files into a folder (created as needed).
bool CopyDistributionTo(const std::string& folder);

// Registry.
std::optional<std::string> RegText(HKEY root, const std::string& key, const std::string& value);
std::optional<DWORD> RegNumber(HKEY root, const std::string& key, const std::string& value);
bool RegKeyExists(HKEY root, const std::string& key);
bool RegWriteText(HKEY root, const std::string& key, const std::string& value,
                  const std::string& text);
// Names of the values of a key, sorted.
std::vector<std::string> RegValueNames(HKEY root, const std::string& key);
inline constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvix";
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The all-users Start-menu programs folder and Quorvix's folder in it.
std::string CommonProgramsFolder();
std::string ShortcutFolder();
struct ShortcutInfo {
  std::string target;
  std::string description;
};
// Reads a .lnk file through the shell link object.
std::optional<ShortcutInfo> ResolveShortcut(const std::string& link);

// Removes every trace of an installation the tests may have left (entries,
// shortcuts, the test folders, the default folder) and closes the windows it
// opened.
void RemoveTestInstallation();

// A process of the program under test found by its main window.
struct Running {
  HWND main = nullptr;
  DWORD pid = 0;
  std::string image;  // full path of its program file
};
// Waits for a Quorvix main window of any process; empty when none came.
std::optional<Running> WaitForQuorvix(DWORD timeout_ms = kTimeoutMs);
// The exit code of a process that is not ours, once it has ended.
std::optional<DWORD> WaitProcessExit(DWORD pid, DWORD timeout_ms = kTimeoutMs);

// The wizard's pages, found by title and the control only they have.
DialogDriver WaitIntroPage(DWORD pid, const std::string& what = "intro");
DialogDriver WaitLicencePage(DWORD pid, const std::string& what = "licence");
DialogDriver WaitFolderPage(DWORD pid, const std::string& what = "folder");

// Starts "Quorvix.exe startinstall" from the distribution folder.
Process StartWizard();
// The installed copy's first-run steps, in their order: the password storage
// login, then the first page of the key pair wizard. Each is found by title
// and a control of its own; `pid` 0 takes any process's.
DialogDriver WaitFirstLogin(DWORD pid = 0);
DialogDriver WaitFirstKeyPairPage(DWORD pid = 0);
// Skips both steps with their "&Skip" buttons; false when a step did not
// come or its Cancel button does not read "&Skip".
bool SkipFirstRunSteps(DWORD pid = 0);

// Runs the whole wizard into "folder" (the proposed folder when empty),
// skips the installed copy's first-run steps and waits until it runs as the
// tray program.
std::optional<Running> InstallWithWizard(const std::string& folder = {});

// Starts uninstall.exe from a path and waits for its first question.
struct Uninstall {
  Process process;
  MessageBoxInfo question;
};
Uninstall StartUninstaller(const std::string& path);

// Closes the shell window that shows a folder, when one is open.
void CloseFolderWindows();

}  // namespace qvx::e2e::setup

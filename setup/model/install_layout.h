// What an installation of Quorvix consists of, as the installer writes it and
// the uninstaller removes it: the files of the distribution, the registry
// entries, the Start-menu shortcuts, and the names of the user's own data that
// the program keeps in its folder. Shared by both programs so that they always
// agree; other programs and the system see these names.
#pragma once

#include <array>
#include <string_view>

#include "platform/settings.h"
#include "qvx/version.h"

namespace qvx::setup {

// The main program's window class: a running Quorvix is found by it.
inline constexpr char kWindowClass[] = "QVX_Class";
inline constexpr char kProductName[] = "Quorvix";
inline constexpr char kPublisher[] = "Koltharin";
inline constexpr char kDisplayVersion[] = QVX_VERSION_TEXT;

// Files of the distribution, copied into the installation folder under these
// names. The program and the uninstaller must be there; the licence and the
// help file are copied when the distribution has them.
inline constexpr char kProgramFile[] = "Quorvix.exe";
inline constexpr char kUninstallerFile[] = "uninstall.exe";
inline constexpr char kLicenceFile[] = "License.txt";
inline constexpr char kHelpFile[] = "QVX Help.chm";
struct DistributionFile {
  const char* name;
  bool required;
};
inline constexpr std::array<DistributionFile, 4> kDistributionFiles{{
    {kProgramFile, true},
    {kUninstallerFile, true},
    {kLicenceFile, false},
    {kHelpFile, false},
}};

// Default installation folder: "ProgramFilesDir" of kWindowsVersionKey
// (HKEY_LOCAL_MACHINE) followed by this.
inline constexpr char kWindowsVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr char kProgramFilesValue[] = "ProgramFilesDir";
inline constexpr char kDefaultFolderName[] = "\\Quorvix";

// HKEY_LOCAL_MACHINE: start at logon, and the entry in the list of installed
// programs (the folder is recorded there for the uninstaller).
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValue[] = "Quorvix";
inline constexpr char kAutostartArgument[] = "regrun";
inline constexpr char kUninstallParentKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kUninstallSubkey[] = "Quorvix";
inline constexpr char kDisplayNameValue[] = "DisplayName";
inline constexpr char kDisplayName[] = "Quorvix(remove only)";
inline constexpr char kUninstallStringValue[] = "UninstallString";
inline constexpr char kInstallLocationValue[] = "InstallLocation";
inline constexpr char kDisplayIconValue[] = "DisplayIcon";
inline constexpr char kDisplayVersionValue[] = "DisplayVersion";
inline constexpr char kPublisherValue[] = "Publisher";
inline constexpr char kNoModifyValue[] = "NoModify";
inline constexpr char kNoRepairValue[] = "NoRepair";

// HKEY_CLASSES_ROOT: key files open in Quorvix.
inline constexpr char kKeyFileExtension[] = ".qvx";
inline constexpr char kFileTypeName[] = "zplfile";
inline constexpr char kFileTypeIconKey[] = "zplfile\\DefaultIcon";
inline constexpr char kFileTypeCommandKey[] = "zplfile\\shell\\open\\command";

// HKEY_CURRENT_USER: the program's settings and the company key above them.
inline constexpr const char* kCompanyKey = kCompanyKeyPath;
inline constexpr const char* kSettingsKey = kSettingsKeyPath;

// The all-users Start-menu programs folder gets a folder of this name with
// three shortcuts.
inline constexpr char kShortcutFolder[] = "Quorvix";
struct Shortcut {
  const char* link_name;     // file name in the shortcut folder
  const char* target;       // file name in the installation folder
  const char* description;
};
inline constexpr std::array<Shortcut, 3> kShortcuts{{
    {"Quorvix.lnk", kProgramFile, "Quorvix crypter"},
    {"Uninstall.lnk", kUninstallerFile, "Uninstall"},
    {"Quorvix Help.lnk", kHelpFile, "Help"},
}};

// The user's own data beside the program: key files in two folders, password
// storage accounts, the key-password associations, key transport files kept
// there, and temporary files an interrupted save may have left.
inline constexpr char kPublicKeyFolder[] = "public";
inline constexpr char kPrivateKeyFolder[] = "privat";
inline constexpr char kKeyFileSuffix[] = ".qvx";
inline constexpr char kStorageFileSuffix[] = ".qvxp";
inline constexpr char kTransportFileSuffix[] = ".qvxt";
inline constexpr char kAssociationsFile[] = "associations.qvxc";
inline constexpr char kTemporaryFileMark[] = ".qvxtmp";

}  // namespace qvx::setup

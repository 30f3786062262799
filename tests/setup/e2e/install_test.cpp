// The installer end to end under Wine: the wizard from the unpacked
// distribution zip, the install step of the installed copy (files, registry,
// shortcuts, autostart), the installed program running, and the ways an
// installation stops early (cancel, refused folder, failed copy).
#include "tests/setup/e2e/install_driver.h"

namespace qvx::e2e::setup {
namespace {

constexpr int kFolderEdit = 1002;

class Install : public QuorvixTest {
 protected:
  void SetUp() override {
    QuorvixTest::SetUp();
    RemoveTestInstallation();
    ASSERT_FALSE(FolderExists(kTestRoot));
    ASSERT_TRUE(FileExists(DistributionFolder() + "\\Quorvix.exe")) << DistributionFolder();
  }
  void TearDown() override {
    RemoveTestInstallation();
    QuorvixTest::TearDown();
  }
};

std::string ProgramFilesQuorvix() {
  return RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                 "ProgramFilesDir")
             .value_or("") +
         "\\Quorvix";
}

TEST_F(Install, WizardInstallsEverythingAndTheProgramRuns) {
  Process wizard = StartWizard();

  DialogDriver intro = WaitIntroPage(wizard.pid());
  ASSERT_TRUE(intro);
  EXPECT_EQ(intro.Text(1014).rfind("  Quorvix can be used to secure any text, either in an e-mail, "
                                   "instant message, or in a file.",
                                   0),
            0u)
      << intro.Text(1014);
  EXPECT_EQ(intro.Text(IDOK), "Next->");
  intro.Click(IDOK);

  DialogDriver licence = WaitLicencePage(wizard.pid());
  ASSERT_TRUE(licence);
  const std::string licence_text = licence.Text(1002);
  EXPECT_EQ(licence_text.rfind("Quorvix 1.0 - Licence\r\n", 0), 0u) << licence_text.substr(0, 80);
  EXPECT_NE(licence_text.find("electronic codebook"), std::string::npos);
  EXPECT_EQ(licence.Text(IDOK), "Yes");
  EXPECT_EQ(licence.Text(IDCANCEL), "No");
  licence.Click(IDOK);

  DialogDriver folder = WaitFolderPage(wizard.pid());
  ASSERT_TRUE(folder);
  // The proposed folder is Quorvix under Program Files.
  EXPECT_EQ(folder.Text(kFolderEdit), ProgramFilesQuorvix());
  // Typed with a trailing backslash, in folders that do not exist yet.
  folder.SetText(kFolderEdit, std::string(kTarget) + "\\");
  folder.Click(IDOK);
  EXPECT_EQ(wizard.WaitExit(), 1u);

  // The installed copy registers itself, offers the first storage login and
  // the first key pair (both skipped here; see FirstStartOffersLoginThenKeyPair)
  // and becomes the tray program.
  ASSERT_TRUE(SkipFirstRunSteps());
  const auto installed = WaitForQuorvix();
  ASSERT_TRUE(installed);
  const std::string program = std::string(kTarget) + "\\Quorvix.exe";
  EXPECT_EQ(installed->image, program);
  EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(installed->main); }));
  SaveScreenshot(nullptr, "installed-desktop");

  // Exactly the distribution's files.
  EXPECT_EQ(FolderNames(kTarget),
            (std::vector<std::string>{"License.txt", "QVX Help.chm", "Quorvix.exe", "uninstall.exe"}));
  for (const std::string& file : DistributionFiles()) {
    EXPECT_EQ(ReadTextFile(std::string(kTarget) + "\\" + file),
              ReadTextFile(DistributionFolder() + "\\" + file))
        << file;
  }

  // Every registry value the installation writes.
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunKey, "Quorvix"), "\"" + program + "\" regrun");
  EXPECT_EQ(RegValueNames(HKEY_LOCAL_MACHINE, kUninstallKey),
            (std::vector<std::string>{"DisplayIcon", "DisplayName", "DisplayVersion",
                                      "InstallLocation", "NoModify", "NoRepair", "Publisher",
                                      "UninstallString"}));
  const struct {
    const char* name;
    std::string text;
  } entry[] = {
      {"DisplayName", "Quorvix(remove only)"},
      {"UninstallString", "\"" + std::string(kTarget) + "\\uninstall.exe\""},
      {"InstallLocation", kTarget},
      {"DisplayIcon", program + ",0"},
      {"DisplayVersion", "1.0.0"},
      {"Publisher", "Koltharin"},
  };
  for (const auto& v : entry) {
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, v.name), v.text) << v.name;
  }
  EXPECT_EQ(RegNumber(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify"), 1u);
  EXPECT_EQ(RegNumber(HKEY_LOCAL_MACHINE, kUninstallKey, "NoRepair"), 1u);
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, ".qvx", ""), "zplfile");
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, "zplfile\\DefaultIcon", ""), "\"" + program + "\",0");
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, "zplfile\\shell\\open\\command", ""),
            "\"" + program + "\" \"%1\"");

  // The Start-menu shortcuts, read back through the shell link object.
  const struct {
    const char* link;
    std::string target;
    const char* description;
  } shortcuts[] = {
      {"Quorvix.lnk", program, "Quorvix crypter"},
      {"Uninstall.lnk", std::string(kTarget) + "\\uninstall.exe", "Uninstall"},
      {"Quorvix Help.lnk", std::string(kTarget) + "\\QVX Help.chm", "Help"},
  };
  EXPECT_EQ(FolderNames(ShortcutFolder()),
            (std::vector<std::string>{"Quorvix Help.lnk", "Quorvix.lnk", "Uninstall.lnk"}));
  for (const auto& s : shortcuts) {
    const auto info = ResolveShortcut(ShortcutFolder() + "\\" + s.link);
    ASSERT_TRUE(info) << s.link;
    EXPECT_EQ(info->target, s.target) << s.link;
    EXPECT_EQ(info->description, s.description) << s.link;
  }

  // Help from the installed program's tray menu asks the shell to open the
  // help file beside it: no "not found" or "could not be opened" message.
  HWND menu = OpenTrayMenuOf(installed->main);
  ASSERT_NE(menu, nullptr);
  const MenuItem* help = FindMenuItem(ReadPopupMenu(menu), "&Help");
  ASSERT_NE(help, nullptr);
  ClickMenuItem(*help);
  // Wine's viewer shows the help's title (without pages: no HTML engine here).
  WindowMatch viewer;
  viewer.title = "Quorvix Help";
  EXPECT_NE(WaitForTopLevel(viewer), nullptr);
  SaveScreenshot(nullptr, "help-opened");
  EXPECT_FALSE(FindMessageBox(installed->pid)) << FindMessageBox(installed->pid).text;

  // Autostart: the Run value's command with "Launch program at startup" off
  // ends at once; with it on the installed program starts.
  PostMessageA(installed->main, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitProcessExit(installed->pid), 1u);
  const std::string autostart = RegText(HKEY_LOCAL_MACHINE, kRunKey, "Quorvix").value_or("");
  ASSERT_TRUE(settings::WriteDword("Autorun", 0));
  Process quiet = Process::Start(autostart);
  EXPECT_EQ(quiet.WaitExit(), 0u);
  ASSERT_TRUE(settings::WriteDword("Autorun", 1));
  Process logon = Process::Start(autostart);
  const auto started = WaitForQuorvix();
  ASSERT_TRUE(started);
  EXPECT_EQ(started->pid, logon.pid());
  EXPECT_EQ(started->image, program);
}

// The installed copy's first start: the storage login (Skip), then the key
// pair wizard (Skip), in that order, before the tray program; the folder is
// registered before either is shown.
TEST_F(Install, FirstStartOffersLoginThenKeyPair) {
  ASSERT_TRUE(CopyDistributionTo(kTarget));
  Process installed = Process::Start(QuoteArgument(std::string(kTarget) + "\\Quorvix.exe") +
                                     " install");
  DialogDriver login = WaitFirstLogin(installed.pid());
  ASSERT_TRUE(login) << "no storage login after the install step";
  EXPECT_EQ(login.Text(IDCANCEL), "&Skip");
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  // No tray program yet: the steps come first.
  EXPECT_FALSE(FindTopLevel(WindowMatch{installed.pid(), "QVX_Class", "", false, -1}));
  login.Click(IDCANCEL);

  DialogDriver key_pair = WaitFirstKeyPairPage(installed.pid());
  ASSERT_TRUE(key_pair) << "no key pair wizard after the login";
  EXPECT_EQ(key_pair.Text(IDCANCEL), "&Skip");
  key_pair.Click(IDCANCEL);

  const auto running = WaitForQuorvix();
  ASSERT_TRUE(running);
  EXPECT_EQ(running->pid, installed.pid());
  EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(running->main); }));
  // Skipping made nothing: no account, no key pair.
  EXPECT_EQ(FolderNames(kTarget),
            (std::vector<std::string>{"License.txt", "QVX Help.chm", "Quorvix.exe", "uninstall.exe"}));
  CloseFolderWindows();
}

TEST_F(Install, CancelAsksAndClosingEndsAtOnce) {
  {
    // Cancel, then "Cancel" in the question: back on the page.
    Process wizard = StartWizard();
    DialogDriver intro = WaitIntroPage(wizard.pid(), "intro-cancel");
    ASSERT_TRUE(intro);
    intro.Click(IDCANCEL);
    MessageBoxInfo question = WaitForMessageBox(wizard.pid(), "cancel-question");
    ASSERT_TRUE(question);
    EXPECT_EQ(question.text, "Are you sure you want to cancel the\ninstallation?");
    AnswerMessageBox(question, IDCANCEL);
    EXPECT_TRUE(IsWindow(intro.hwnd()));
    // OK ends the wizard with exit code 0.
    intro.Click(IDCANCEL);
    question = WaitForMessageBox(wizard.pid());
    ASSERT_TRUE(question);
    AnswerMessageBox(question, IDOK);
    EXPECT_EQ(wizard.WaitExit(), 0u);
  }
  {
    // The close box of the introduction ends the wizard with 1, of the other
    // pages with 0, without a question.
    Process wizard = StartWizard();
    DialogDriver intro = WaitIntroPage(wizard.pid());
    ASSERT_TRUE(intro);
    PostMessageA(intro.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(wizard.WaitExit(), 1u);
  }
  {
    Process wizard = StartWizard();
    DialogDriver intro = WaitIntroPage(wizard.pid());
    ASSERT_TRUE(intro);
    intro.Click(IDOK);
    DialogDriver licence = WaitLicencePage(wizard.pid());
    ASSERT_TRUE(licence);
    licence.Click(IDCANCEL);  // "No" asks too
    MessageBoxInfo question = WaitForMessageBox(wizard.pid());
    ASSERT_TRUE(question);
    AnswerMessageBox(question, IDCANCEL);
    licence.Click(IDOK);
    DialogDriver folder = WaitFolderPage(wizard.pid());
    ASSERT_TRUE(folder);
    PostMessageA(folder.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(wizard.WaitExit(), 0u);
  }
  EXPECT_FALSE(FolderExists(kTestRoot));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

// Walks to the folder page.
DialogDriver OpenFolderPage(Process& wizard) {
  DialogDriver intro = WaitIntroPage(wizard.pid(), "to-folder-intro");
  if (!intro) return DialogDriver();
  intro.Click(IDOK);
  DialogDriver licence = WaitLicencePage(wizard.pid(), "to-folder-licence");
  if (!licence) return DialogDriver();
  licence.Click(IDOK);
  return WaitFolderPage(wizard.pid());
}

TEST_F(Install, FolderPageRefusesSystemFoldersAndRelativePaths) {
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  Process wizard = StartWizard();
  DialogDriver folder = OpenFolderPage(wizard);
  ASSERT_TRUE(folder);
  const struct {
    std::string typed;
    std::string message;
  } cases[] = {
      {"C:\\", "cannot be installed directly into\nC:\\\n"},
      {windows, std::string("cannot be installed directly into\n") + windows + "\n"},
      {system, std::string("cannot be installed directly into\n") + system + "\n"},
      {ProgramFilesQuorvix() + "\\..", "cannot be installed directly into\n"},
      {"C:\\users", "cannot be installed directly into\nC:\\users\n"},
      {"Quorvix", "Please enter the full path of a folder"},
      {"", "Please enter the full path of a folder"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    folder.SetText(kFolderEdit, c.typed);
    folder.Click(IDOK);
    const MessageBoxInfo box = WaitForMessageBox(wizard.pid(), "refused-" + std::to_string(n++));
    ASSERT_TRUE(box);
    EXPECT_NE(box.text.find(c.message), std::string::npos) << box.text;
    AnswerMessageBox(box);
    EXPECT_TRUE(IsWindow(folder.hwnd()));
  }
  folder.Click(IDCANCEL);
  const MessageBoxInfo question = WaitForMessageBox(wizard.pid());
  ASSERT_TRUE(question);
  AnswerMessageBox(question, IDOK);
  EXPECT_EQ(wizard.WaitExit(), 0u);
}

TEST_F(Install, BrowseShowsTheFolderBrowser) {
  Process wizard = StartWizard();
  DialogDriver folder = OpenFolderPage(wizard);
  ASSERT_TRUE(folder);
  const std::string proposed = folder.Text(kFolderEdit);
  folder.Click(1001);
  WindowMatch match;
  match.pid = wizard.pid();
  match.class_name = "#32770";
  HWND browser = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND w : TopLevelWindows(match)) {
      if (w != folder.hwnd()) browser = w;
    }
    return browser != nullptr;
  }));
  SaveScreenshot(browser, "folder-browser");
  EXPECT_NE(TextOf(browser).find("Browse"), std::string::npos) << TextOf(browser);
  PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitGone(browser));
  EXPECT_EQ(folder.Text(kFolderEdit), proposed);
  PostMessageA(folder.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(wizard.WaitExit(), 0u);
}

// Runs the wizard into a target that makes the copy fail; returns the message.
std::string FailedInstallMessage(const std::string& target, const std::string& what) {
  Process wizard = StartWizard();
  DialogDriver folder = OpenFolderPage(wizard);
  if (!folder) return "(no folder page)";
  folder.SetText(kFolderEdit, target);
  folder.Click(IDOK);
  const MessageBoxInfo box = WaitForMessageBox(wizard.pid(), what);
  if (!box) return "(no message)";
  AnswerMessageBox(box);
  EXPECT_EQ(wizard.WaitExit(), 2u);
  return box.text;
}

TEST_F(Install, FailedCopyStopsWithAMessageAndStartsNothing) {
  // A folder where the licence file should go makes its copy fail.
  CreateDirectoryA(kTestRoot, nullptr);
  CreateDirectoryA("C:\\QvxTest\\Apps", nullptr);
  CreateDirectoryA(kTarget, nullptr);
  CreateDirectoryA((std::string(kTarget) + "\\License.txt").c_str(), nullptr);
  const std::string text = FailedInstallMessage(kTarget, "copy-failed");
  EXPECT_EQ(text.rfind("A file could not be copied:\n" + std::string(kTarget) + "\\License.txt\n", 0),
            0u)
      << text;
  EXPECT_NE(text.find("the program was not started"), std::string::npos) << text;
  // Nothing of the half-copied installation runs or is registered.
  EXPECT_FALSE(WaitForQuorvix(3000));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(RegText(HKEY_LOCAL_MACHINE, kRunKey, "Quorvix"));
  EXPECT_FALSE(FolderExists(ShortcutFolder()));
}

TEST_F(Install, FolderThatCannotBeCreatedStops) {
  CreateDirectoryA(kTestRoot, nullptr);
  ASSERT_TRUE(WriteTextFile(std::string(kTestRoot) + "\\file", "a file, not a folder"));
  const std::string text = FailedInstallMessage("C:\\QvxTest\\file\\Quorvix", "folder-failed");
  EXPECT_EQ(text.rfind("The installation folder could not be created:\nC:\\QvxTest\\file\\Quorvix\n",
                       0),
            0u)
      << text;
  EXPECT_FALSE(WaitForQuorvix(3000));
  EXPECT_EQ(FolderNames(kTestRoot), std::vector<std::string>{"file"});
}

TEST_F(Install, InstallingAgainClosesTheRunningCopyFirst) {
  const auto first = InstallWithWizard(kTarget);
  ASSERT_TRUE(first);
  CloseFolderWindows();
  // The running installed program holds Quorvix.exe open: a second
  // installation into the same folder closes it, overwrites and starts anew.
  const auto second = InstallWithWizard(kTarget);
  ASSERT_TRUE(second);
  EXPECT_NE(second->pid, first->pid);
  EXPECT_TRUE(WaitProcessExit(first->pid, 1000));
  EXPECT_EQ(second->image, std::string(kTarget) + "\\Quorvix.exe");
}

// Denies everyone every access to a registry key (its owner may still change
// that), or gives it back.
bool LockKey(HKEY root, const char* path, bool locked) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, WRITE_DAC | READ_CONTROL, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  SECURITY_DESCRIPTOR sd{};
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  ACL empty{};
  InitializeAcl(&empty, sizeof empty, ACL_REVISION);
  // An empty DACL denies all; no DACL at all allows all.
  SetSecurityDescriptorDacl(&sd, TRUE, locked ? &empty : nullptr, FALSE);
  const bool ok = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

TEST_F(Install, UnwritableRegistryIsReportedAndTheProgramEnds) {
  ASSERT_TRUE(CopyDistributionTo(kTarget));
  ASSERT_TRUE(LockKey(HKEY_LOCAL_MACHINE, kUninstallKey, true));
  HKEY probe = nullptr;
  const bool enforced = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_SET_VALUE,
                                      &probe) != ERROR_SUCCESS;
  if (probe != nullptr) RegCloseKey(probe);
  if (enforced) {
    Process install = Process::Start(QuoteArgument(std::string(kTarget) + "\\Quorvix.exe") +
                                     " install");
    MessageBoxInfo box = WaitForMessageBox(install.pid(), "registry-error");
    ASSERT_TRUE(box);
    EXPECT_EQ(box.text, "Can not process registry!");
    AnswerMessageBox(box);
    box = WaitForMessageBox(install.pid(), "not-registered");
    ASSERT_TRUE(box);
    EXPECT_EQ(box.text.rfind("Quorvix was copied to\n" + std::string(kTarget) + "\nbut it could "
                             "not be registered with Windows",
                             0),
              0u)
        << box.text;
    AnswerMessageBox(box);
    EXPECT_EQ(install.WaitExit(), 0xFFFFFFFFu);
    EXPECT_FALSE(WaitForQuorvix(2000));
    EXPECT_FALSE(RegText(HKEY_LOCAL_MACHINE, kRunKey, "Quorvix"));
    EXPECT_FALSE(FolderExists(ShortcutFolder()));
  }
  ASSERT_TRUE(LockKey(HKEY_LOCAL_MACHINE, kUninstallKey, false));
  if (!enforced) GTEST_SKIP() << "this Wine does not enforce registry key security";
}

}  // namespace
}  // namespace qvx::e2e::setup

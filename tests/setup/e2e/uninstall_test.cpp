// uninstall.exe end to end under Wine: it closes the running program, removes
// what the installer wrote and nothing else, asks before deleting the user's
// keys and password storage (keeping them by default), removes its own file
// after it has ended, and refuses a recorded folder that is a system place.
#include "tests/setup/e2e/install_driver.h"

namespace qvx::e2e::setup {
namespace {

// Copies of the uninstaller in the temporary folder.
std::vector<std::string> TemporaryCopies() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::vector<std::string> copies;
  for (const std::string& name : FolderNames(temp)) {
    if (name.rfind("qvx-uninstall-", 0) == 0) copies.push_back(name);
  }
  return copies;
}

class UninstallExe : public QuorvixTest {
 protected:
  void SetUp() override {
    QuorvixTest::SetUp();
    RemoveTestInstallation();
  }
  void TearDown() override {
    RemoveTestInstallation();
    QuorvixTest::TearDown();
  }

  // An installation made by the installed copy's own install step, running.
  Running InstallDirectly() {
    EXPECT_TRUE(CopyDistributionTo(kTarget));
    // "INSTALL": the argument counts in any letter case.
    installed_ = Process::Start(QuoteArgument(Program()) + " INSTALL");
    EXPECT_TRUE(SkipFirstRunSteps(installed_.pid()));
    const auto running = WaitForQuorvix();
    EXPECT_TRUE(running);
    EXPECT_TRUE(WaitUntil([] { return RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey); }));
    CloseFolderWindows();
    return running.value_or(Running{});
  }

  static std::string Program() { return std::string(kTarget) + "\\Quorvix.exe"; }
  Process installed_;
  static std::string UninstallerPath() { return std::string(kTarget) + "\\uninstall.exe"; }

  // The user's data as the program keeps it beside itself.
  static void AddUserData() {
    CreateDirectoryA((std::string(kTarget) + "\\public").c_str(), nullptr);
    CreateDirectoryA((std::string(kTarget) + "\\privat").c_str(), nullptr);
    for (const char* file : {"\\public\\{11111111-2222-3333-4444-555555555555}.qvx",
                             "\\privat\\{11111111-2222-3333-4444-555555555555}.qvx",
                             "\\Ann.qvxp", "\\associations.qvxc"}) {
      ASSERT_TRUE(WriteTextFile(kTarget + std::string(file), "user data"));
    }
  }

  // Things outside the installation that must stay as they are.
  static void AddNeighbours() {
    CreateDirectoryA(kNeighbour, nullptr);
    ASSERT_TRUE(WriteTextFile(std::string(kNeighbour) + "\\Quorvix.exe", "not ours"));
    ASSERT_TRUE(WriteTextFile(std::string(kNeighbour) + "\\Bob.qvxp", "not ours"));
    ASSERT_TRUE(WriteTextFile("C:\\QvxTest\\Apps\\notes.txt", "not ours"));
  }
  static void ExpectNeighboursKept() {
    EXPECT_EQ(FolderNames(kNeighbour), (std::vector<std::string>{"Bob.qvxp", "Quorvix.exe"}));
    EXPECT_TRUE(FileExists("C:\\QvxTest\\Apps\\notes.txt"));
  }

  static void ExpectRegistrationGone() {
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(RegText(HKEY_LOCAL_MACHINE, kRunKey, "Quorvix"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, ".qvx"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "zplfile"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Koltharin\\Quorvix"));
    EXPECT_FALSE(FolderExists(ShortcutFolder()));
  }
};

TEST_F(UninstallExe, ClosesTheProgramRemovesItAndKeepsTheUserDataByDefault) {
  const Running running = InstallDirectly();
  ASSERT_NE(running.main, nullptr);
  AddUserData();
  AddNeighbours();
  ASSERT_TRUE(settings::WriteDword("ShowText", 1));
  // Another program's Run value stays.
  ASSERT_TRUE(RegWriteText(HKEY_LOCAL_MACHINE, kRunKey, "Other", "\"C:\\Other\\other.exe\""));

  Uninstall u = StartUninstaller(UninstallerPath());
  ASSERT_TRUE(u.question);
  EXPECT_EQ(u.question.title, "Quorvix");
  EXPECT_EQ(u.question.text, "Are you sure you want to uninstall Quorvix?");
  AnswerMessageBox(u.question, IDOK);

  // The running program is closed through its window (WM_CLOSE: exit code 1).
  EXPECT_EQ(WaitProcessExit(running.pid), 1u);
  const MessageBoxInfo data = WaitForMessageBox(u.process.pid(), "keep-user-data");
  ASSERT_TRUE(data);
  EXPECT_EQ(data.text.rfind("Your own keys and password storage are in the Quorvix folder:\n" +
                                std::string(kTarget) + "\n",
                            0),
            0u)
      << data.text;
  // Enter answers the question with its default: keep them.
  ASSERT_TRUE(BringToForeground(data.hwnd));
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitGone(data.hwnd));

  const MessageBoxInfo report = WaitForMessageBox(u.process.pid(), "removed-data-kept");
  ASSERT_TRUE(report);
  EXPECT_EQ(report.text, "Quorvix has been removed.\n\nYour keys and password storage were kept in\n" +
                             std::string(kTarget));
  AnswerMessageBox(report);
  EXPECT_EQ(u.process.WaitExit(), 0u);

  // The uninstaller's own file goes once it has ended, and so does the copy
  // in the temporary folder that removed it; the user's data stays.
  EXPECT_TRUE(WaitUntil([&] { return !FileExists(UninstallerPath()); })) << "uninstall.exe left";
  EXPECT_TRUE(WaitUntil([] { return TemporaryCopies().empty(); })) << TemporaryCopies().front();
  EXPECT_EQ(FolderNames(kTarget),
            (std::vector<std::string>{"Ann.qvxp", "associations.qvxc", "privat\\", "public\\"}));
  EXPECT_EQ(FolderNames(std::string(kTarget) + "\\privat").size(), 1u);
  EXPECT_EQ(FolderNames(std::string(kTarget) + "\\public").size(), 1u);
  ExpectRegistrationGone();
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Koltharin"));
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunKey, "Other"), "\"C:\\Other\\other.exe\"");
  ExpectNeighboursKept();
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "Other");
}

TEST_F(UninstallExe, DeletesTheUserDataWhenAskedAndLeavesForeignFiles) {
  InstallDirectly();
  AddUserData();
  AddNeighbours();
  ASSERT_TRUE(WriteTextFile(std::string(kTarget) + "\\my notes.txt", "the user's own file"));
  // Another product of the company keeps its key.
  ASSERT_TRUE(RegWriteText(HKEY_CURRENT_USER, "Software\\Koltharin\\Other", "x", "y"));

  Uninstall u = StartUninstaller(UninstallerPath());
  ASSERT_TRUE(u.question);
  AnswerMessageBox(u.question, IDOK);
  const MessageBoxInfo data = WaitForMessageBox(u.process.pid(), "delete-user-data");
  ASSERT_TRUE(data);
  AnswerMessageBox(data, IDYES);
  const MessageBoxInfo report = WaitForMessageBox(u.process.pid(), "removed-foreign-left");
  ASSERT_TRUE(report);
  EXPECT_EQ(report.text,
            "Quorvix has been removed.\n\nThese files were not put there by Quorvix and were left "
            "in place:\nmy notes.txt");
  AnswerMessageBox(report);
  EXPECT_EQ(u.process.WaitExit(), 0u);
  EXPECT_TRUE(WaitUntil([&] { return !FileExists(UninstallerPath()); }));
  EXPECT_TRUE(WaitUntil([] { return TemporaryCopies().empty(); }));
  EXPECT_EQ(FolderNames(kTarget), std::vector<std::string>{"my notes.txt"});
  ExpectRegistrationGone();
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Koltharin\\Other"));
  ExpectNeighboursKept();
}

TEST_F(UninstallExe, RemovesTheWholeFolderWhenNothingElseIsThere) {
  InstallDirectly();
  Uninstall u = StartUninstaller(UninstallerPath());
  ASSERT_TRUE(u.question);
  AnswerMessageBox(u.question, IDOK);
  // No user data, nothing foreign: no further question or message.
  EXPECT_EQ(u.process.WaitExit(), 0u);
  EXPECT_TRUE(WaitUntil([&] { return !FolderExists(kTarget); })) << "folder left";
  EXPECT_TRUE(WaitUntil([] { return TemporaryCopies().empty(); }));
  EXPECT_TRUE(FolderExists("C:\\QvxTest\\Apps"));
  ExpectRegistrationGone();
}

TEST_F(UninstallExe, CancelLeavesEverything) {
  const Running running = InstallDirectly();
  Uninstall u = StartUninstaller(UninstallerPath());
  ASSERT_TRUE(u.question);
  AnswerMessageBox(u.question, IDCANCEL);
  EXPECT_EQ(u.process.WaitExit(), 0u);
  EXPECT_TRUE(IsWindow(running.main));
  EXPECT_EQ(FolderNames(kTarget).size(), DistributionFiles().size());
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_TRUE(FolderExists(ShortcutFolder()));
}

TEST_F(UninstallExe, RefusesARecordedFolderThatIsASystemPlace) {
  // An uninstaller outside any installation, with a forged record.
  const std::string elsewhere = std::string(kTestRoot) + "\\Elsewhere";
  CreateDirectoryA(kTestRoot, nullptr);
  CreateDirectoryA(elsewhere.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((DistributionFolder() + "\\uninstall.exe").c_str(),
                        (elsewhere + "\\uninstall.exe").c_str(), FALSE));
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  char short_program_files[MAX_PATH] = {};
  const std::string program_files =
      RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir")
          .value_or("C:\\Program Files");
  GetShortPathNameA(program_files.c_str(), short_program_files, MAX_PATH);
  char profile[MAX_PATH] = {};
  GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH);
  // Something that must survive in the Windows folder.
  const std::string canary = std::string(windows) + "\\qvx-canary.qvxp";
  ASSERT_TRUE(WriteTextFile(canary, "must stay"));

  const std::string cases[] = {
      "C:\\",          windows, system, program_files, short_program_files,
      program_files + "\\Quorvix\\..", profile, "C:\\users", "relative\\folder",
  };
  int n = 0;
  for (const std::string& recorded : cases) {
    SCOPED_TRACE(recorded);
    ASSERT_TRUE(RegWriteText(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", recorded));
    Uninstall u = StartUninstaller(elsewhere + "\\uninstall.exe");
    ASSERT_TRUE(u.question);
    AnswerMessageBox(u.question, IDOK);
    const MessageBoxInfo box = WaitForMessageBox(u.process.pid(), "refused-" + std::to_string(n++));
    ASSERT_TRUE(box);
    if (recorded == "relative\\folder") {
      EXPECT_EQ(box.text.rfind("No installation of Quorvix was found", 0), 0u) << box.text;
    } else {
      EXPECT_EQ(box.text.rfind("The installation folder recorded for Quorvix is\n", 0), 0u)
          << box.text;
      EXPECT_NE(box.text.find("Nothing was removed."), std::string::npos);
    }
    AnswerMessageBox(box);
    EXPECT_EQ(u.process.WaitExit(), 1u);
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_TRUE(FileExists(canary));
  }
  // No record at all.
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
  Uninstall u = StartUninstaller(elsewhere + "\\uninstall.exe");
  ASSERT_TRUE(u.question);
  AnswerMessageBox(u.question, IDOK);
  const MessageBoxInfo box = WaitForMessageBox(u.process.pid(), "not-installed");
  ASSERT_TRUE(box);
  EXPECT_EQ(box.text.rfind("No installation of Quorvix was found on this computer", 0), 0u);
  AnswerMessageBox(box);
  EXPECT_EQ(u.process.WaitExit(), 1u);
  EXPECT_TRUE(FileExists(elsewhere + "\\uninstall.exe"));
  DeleteFileA(canary.c_str());
}

TEST_F(UninstallExe, StartedFromElsewhereRemovesTheInstalledUninstallerToo) {
  InstallDirectly();
  const std::string elsewhere = std::string(kTestRoot) + "\\Elsewhere";
  CreateDirectoryA(elsewhere.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(UninstallerPath().c_str(), (elsewhere + "\\uninstall.exe").c_str(), FALSE));
  Uninstall u = StartUninstaller(elsewhere + "\\uninstall.exe");
  ASSERT_TRUE(u.question);
  AnswerMessageBox(u.question, IDOK);
  EXPECT_EQ(u.process.WaitExit(), 0u);
  EXPECT_FALSE(FolderExists(kTarget));
  EXPECT_TRUE(FileExists(elsewhere + "\\uninstall.exe"));
  ExpectRegistrationGone();
}

}  // namespace
}  // namespace qvx::e2e::setup

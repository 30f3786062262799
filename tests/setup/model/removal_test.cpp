// What the uninstaller removes from an installation folder, and the registry
// texts it recognises as its own.
#include <gtest/gtest.h>

#include <algorithm>

#include "setup/model/install_layout.h"
#include "setup/model/registration.h"
#include "setup/model/removal.h"
#include "setup/model/text.h"

namespace qvx::setup {
namespace {

using Names = std::vector<std::string>;

TEST(RemovalPlan, SortsEveryFileIntoProgramUserDataOrForeign) {
  InstallationContents folder;
  folder.root.files = {"Quorvix.exe",      "UNINSTALL.EXE",    "License.txt",
                       "QVX Help.chm",     "alice.qvxp",       "associations.qvxc",
                       "home.QVXT",        "alice.qvxp.qvxtmp00c0ffee", "notes.txt",
                       "Quorvix.exe.bak",  "qvxp",             "associations.qvxc.old"};
  folder.root.folders = {"public", "Privat", "photos"};
  folder.public_keys.files = {"A1.qvx", "readme.txt", "B2.qvx.qvxtmp00000001"};
  folder.public_keys.folders = {"old"};
  folder.private_keys.files = {"A1.QVX"};
  const RemovalPlan plan = PlanRemoval(folder);
  EXPECT_EQ(plan.program_files, (Names{"Quorvix.exe", "License.txt", "QVX Help.chm"}));
  EXPECT_TRUE(plan.uninstaller_present);
  EXPECT_EQ(plan.userData,
            (Names{"alice.qvxp", "associations.qvxc", "home.QVXT", "alice.qvxp.qvxtmp00c0ffee",
                   "public\\A1.qvx", "public\\B2.qvx.qvxtmp00000001", "Privat\\A1.QVX"}));
  EXPECT_EQ(plan.folders_when_empty, (Names{"public", "Privat"}));
  EXPECT_EQ(plan.left_alone, (Names{"notes.txt", "Quorvix.exe.bak", "qvxp", "associations.qvxc.old",
                                   "public\\readme.txt", "public\\old\\", "photos\\"}));
}

TEST(RemovalPlan, EmptyFolderHasNothingToDo) {
  const RemovalPlan plan = PlanRemoval({});
  EXPECT_TRUE(plan.program_files.empty());
  EXPECT_FALSE(plan.uninstaller_present);
  EXPECT_TRUE(plan.userData.empty());
  EXPECT_TRUE(plan.left_alone.empty());
}

TEST(Cleanup, ArgumentsRoundTripAndStrangersAreRefused) {
  const CleanupRequest request{0x1a4, "C:\\Program Files (x86)\\Quorvix"};
  const std::string args = CleanupArguments(request);
  EXPECT_EQ(args, "/cleanup 420 \"C:\\Program Files (x86)\\Quorvix\"");
  const auto parsed = ParseCleanupArguments({"/CLEANUP", "420", "C:\\Program Files (x86)\\Quorvix"});
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->process, 420u);
  EXPECT_EQ(parsed->folder, request.folder);
  const std::vector<std::vector<std::string>> strangers = {
      {},
      {"/cleanup"},
      {"/cleanup", "420"},
      {"/cleanup", "42x", "C:\\Q"},
      {"/cleanup", "-1", "C:\\Q"},
      {"/cleanup", "", "C:\\Q"},
      {"/cleanup", "1", ""},
      {"/cleanup", "123456789012345678901", "C:\\Q"},
      {"cleanup", "1", "C:\\Q"},
      {"/cleanup", "1", "C:\\Q", "extra"},
  };
  for (const auto& args : strangers) EXPECT_FALSE(ParseCleanupArguments(args)) << args.size();
}

TEST(Cleanup, DeleteCommandNamesNoPath) {
  // The path reaches the command processor only through the variable.
  EXPECT_EQ(DeleteFileCommandArguments(), "/D /C del /F /Q \"%QVX_UNINSTALL_FILE%\"");
}

TEST(Registration, ValueTexts) {
  const std::string program = "C:\\Program Files\\Quorvix\\Quorvix.exe";
  EXPECT_EQ(AutostartCommand(program), "\"C:\\Program Files\\Quorvix\\Quorvix.exe\" regrun");
  EXPECT_EQ(FileTypeIcon(program), "\"C:\\Program Files\\Quorvix\\Quorvix.exe\",0");
  EXPECT_EQ(FileTypeOpenCommand(program), "\"C:\\Program Files\\Quorvix\\Quorvix.exe\" \"%1\"");

  const auto values = UninstallEntryValues("C:\\Program Files\\Quorvix");
  std::vector<std::string> rendered;
  for (const auto& v : values) {
    rendered.push_back(v.name + "=" + (v.is_dword ? std::to_string(v.number) : v.text));
  }
  EXPECT_EQ(rendered, (Names{
                          "DisplayName=Quorvix(remove only)",
                          "UninstallString=\"C:\\Program Files\\Quorvix\\uninstall.exe\"",
                          "InstallLocation=C:\\Program Files\\Quorvix",
                          "DisplayIcon=C:\\Program Files\\Quorvix\\Quorvix.exe,0",
                          "DisplayVersion=1.0.0",
                          "Publisher=Koltharin",
                          "NoModify=1",
                          "NoRepair=1",
                      }));
}

TEST(Registration, RecognisesItsOwnEntries) {
  const std::string folder = "C:\\Program Files\\Quorvix";
  const struct {
    const char* text;
    bool ours;
  } cases[] = {
      {"\"C:\\Program Files\\Quorvix\\Quorvix.exe\" regrun", true},
      {"\"c:\\program files\\quorvix\\QUORVIX.EXE\" \"%1\"", true},
      {"\"C:\\Program Files\\Quorvix\\Quorvix.exe\",0", true},
      {"C:\\Program Files\\Quorvix\\Quorvix.exe", true},
      {"\"C:\\Program Files\\Quorvix2\\Quorvix.exe\" regrun", false},
      {"\"C:\\Program Files\\Quorvix\\Quorvix.exe.old\"", false},
      {"\"D:\\Other\\Quorvix.exe\" regrun", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(RefersToProgramIn(c.text, folder), c.ours) << c.text;
}

TEST(LicenceText, LineBreaksBecomeCrLf) {
  const struct {
    std::string in;
    const char* out;
  } cases[] = {
      {"a\nb\n", "a\r\nb\r\n"},
      {"a\r\nb", "a\r\nb"},
      {"a\rb\r\r\n", "a\r\nb\r\n\r\n"},
      {"", ""},
      {std::string("ab\0cd", 5), "ab"},
  };
  for (const auto& c : cases) EXPECT_EQ(WithCrLf(c.in), c.out);
}

}  // namespace
}  // namespace qvx::setup

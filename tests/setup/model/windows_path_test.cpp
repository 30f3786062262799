// Windows path text and the rule which folders may hold an installation.
#include <gtest/gtest.h>

#include "setup/model/windows_path.h"

namespace qvx::setup {
namespace {

TEST(WindowsPath, NormalForm) {
  const struct {
    const char* in;
    const char* out;  // nullptr: no absolute path
  } cases[] = {
      {"C:\\Program Files\\Quorvix", "C:\\Program Files\\Quorvix"},
      {"c:\\Program Files\\Quorvix\\", "C:\\Program Files\\Quorvix"},
      {"C:\\Program Files\\Quorvix\\\\", "C:\\Program Files\\Quorvix"},
      {"C:/Program Files//Quorvix/", "C:\\Program Files\\Quorvix"},
      {"  \"C:\\Tools\\Quorvix\"  ", "C:\\Tools\\Quorvix"},
      {"C:\\Program Files\\..\\Program Files", "C:\\Program Files"},
      {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
      {"C:\\..\\..\\Windows", "C:\\Windows"},
      {"C:\\Quorvix. \\", "C:\\Quorvix"},
      {"C:\\", "C:\\"},
      {"C:\\.", "C:\\"},
      {"d:/", "D:\\"},
      {"\\\\server\\share", "\\\\server\\share"},
      {"\\\\server\\share\\", "\\\\server\\share"},
      {"\\\\server\\share\\..\\apps\\Quorvix", "\\\\server\\share\\apps\\Quorvix"},
      {"//server/share/Quorvix", "\\\\server\\share\\Quorvix"},
      {"Quorvix", nullptr},
      {"C:Quorvix", nullptr},
      {"\\Quorvix", nullptr},
      {"\\\\server", nullptr},
      {"\\\\?\\C:\\Quorvix", nullptr},
      {"\\\\.\\C:", nullptr},
      {"", nullptr},
      {"   ", nullptr},
  };
  for (const auto& c : cases) {
    const auto normal = NormalizeAbsolutePath(c.in);
    if (c.out == nullptr) {
      EXPECT_FALSE(normal) << c.in << " -> " << normal.value_or("");
    } else {
      EXPECT_EQ(normal.value_or("(none)"), c.out) << c.in;
    }
  }
}

TEST(WindowsPath, InsideAndSame) {
  EXPECT_TRUE(IsSameOrInside("C:\\Program Files", "C:\\Program Files"));
  EXPECT_TRUE(IsSameOrInside("C:\\Program Files", "c:\\program files\\Quorvix"));
  EXPECT_TRUE(IsSameOrInside("C:\\", "C:\\Windows"));
  EXPECT_FALSE(IsSameOrInside("C:\\Program Files", "C:\\Program Files (x86)"));
  EXPECT_FALSE(IsSameOrInside("C:\\Program Files\\Quorvix", "C:\\Program Files"));
  EXPECT_FALSE(IsSameOrInside("", "C:\\"));
  EXPECT_TRUE(SamePath("C:\\QUORVIX", "c:\\quorvix"));
  EXPECT_FALSE(SamePath("C:\\Quorvix", "C:\\Quorvix2"));
}

TEST(WindowsPath, FoldersAlongAndParents) {
  EXPECT_EQ(FoldersAlong("C:\\a\\b\\c"),
            (std::vector<std::string>{"C:\\a", "C:\\a\\b", "C:\\a\\b\\c"}));
  EXPECT_EQ(FoldersAlong("C:\\"), std::vector<std::string>{});
  EXPECT_EQ(FoldersAlong("\\\\srv\\sh\\a\\b"),
            (std::vector<std::string>{"\\\\srv\\sh\\a", "\\\\srv\\sh\\a\\b"}));
  EXPECT_EQ(ParentOf("C:\\a\\b"), "C:\\a");
  EXPECT_EQ(ParentOf("C:\\a"), "C:\\");
  EXPECT_EQ(ParentOf("\\\\srv\\sh\\a"), "\\\\srv\\sh");
  EXPECT_EQ(JoinWindowsPath("C:\\a", "x.exe"), "C:\\a\\x.exe");
  EXPECT_EQ(JoinWindowsPath("C:\\", "x.exe"), "C:\\x.exe");
}

TEST(WindowsPath, InstallFolderRule) {
  const std::vector<std::string> guarded = {
      "C:\\Windows",          "C:\\Windows\\System32", "C:\\Program Files",
      "C:\\Program Files (x86)", "C:\\Users\\alice",    "C:\\ProgramData",
      "relative\\ignored",
  };
  const struct {
    const char* folder;
    FolderVerdict verdict;
  } cases[] = {
      {"C:\\Program Files\\Quorvix", FolderVerdict::Ok},
      {"C:\\Program Files (x86)\\Quorvix", FolderVerdict::Ok},
      {"C:\\Users\\alice\\Tools\\Quorvix", FolderVerdict::Ok},
      {"D:\\Quorvix", FolderVerdict::Ok},
      {"\\\\srv\\apps\\Quorvix", FolderVerdict::Ok},
      {"C:\\Windows\\Quorvix", FolderVerdict::Ok},
      {"C:\\", FolderVerdict::Root},
      {"D:\\", FolderVerdict::Root},
      {"\\\\srv\\apps", FolderVerdict::Root},
      {"C:\\Windows", FolderVerdict::Protected},
      {"c:\\windows\\", FolderVerdict::Protected},
      {"C:\\Windows\\System32", FolderVerdict::Protected},
      {"C:\\Program Files", FolderVerdict::Protected},
      {"C:\\Program Files\\Quorvix\\..", FolderVerdict::Protected},
      {"C:\\Users", FolderVerdict::Protected},  // holds a profile
      {"C:\\Users\\alice", FolderVerdict::Protected},
      {"C:\\ProgramData", FolderVerdict::Protected},
      {"Quorvix", FolderVerdict::NotAbsolute},
      {"", FolderVerdict::NotAbsolute},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckInstallFolder(c.folder, guarded), c.verdict) << c.folder;
  }
}

}  // namespace
}  // namespace qvx::setup

// The file interface on the real file system of the platform under test.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

Bytes B(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(Paths, JoinAndSplit) {
  const char sep = PathSeparator();
  const std::string s(1, sep);
  EXPECT_EQ(JoinPath("a", "b"), "a" + s + "b");
  EXPECT_EQ(JoinPath("a" + s, "b"), "a" + s + "b");
  EXPECT_EQ(JoinPath("a", s + "b"), "a" + s + "b");
  EXPECT_EQ(FileNameOf("x" + s + "y" + s + "name.qvx"), "name.qvx");
  EXPECT_EQ(FolderOf("x" + s + "y" + s + "name.qvx"), "x" + s + "y");
  EXPECT_EQ(FileNameOf("name"), "name");
  EXPECT_EQ(FolderOf("name"), "");
}

TEST(Files, WriteReadReplace) {
  test::TempDir dir;
  FileSystem& fs = NativeFileSystem();
  const std::string path = dir.File("data.bin");
  EXPECT_EQ(fs.ReadFile(path).code(), Errc::NotFound);
  ASSERT_TRUE(fs.WriteFileAtomic(path, B("first version")));
  EXPECT_EQ(*fs.ReadFile(path), B("first version"));
  ASSERT_TRUE(fs.WriteFileAtomic(path, B("2nd")));
  EXPECT_EQ(*fs.ReadFile(path), B("2nd"));
  ASSERT_TRUE(fs.WriteFileAtomic(path, Bytes{}));
  EXPECT_TRUE(fs.ReadFile(path)->empty());
  // Only the target is left: no temporary files.
  EXPECT_EQ(*fs.ListFiles(dir.path()), std::vector<std::string>{"data.bin"});
}

TEST(Files, FailedWriteLeavesOldFileIntact) {
  test::TempDir dir;
  FileSystem& fs = NativeFileSystem();
  // Into a folder that does not exist: fails, creates nothing.
  EXPECT_FALSE(fs.WriteFileAtomic(JoinPath(dir.File("missing"), "x"), B("data")));
  EXPECT_FALSE(fs.FolderExists(dir.File("missing")));
  // Over a folder: the rename fails, the folder and its contents stay.
  ASSERT_TRUE(fs.CreateFolder(dir.File("sub")));
  ASSERT_TRUE(fs.WriteFileAtomic(JoinPath(dir.File("sub"), "keep"), B("keep")));
  EXPECT_FALSE(fs.WriteFileAtomic(dir.File("sub"), B("data")));
  EXPECT_EQ(*fs.ReadFile(JoinPath(dir.File("sub"), "keep")), B("keep"));
  EXPECT_TRUE(fs.ListFiles(dir.path())->empty());
}

TEST(Files, InjectedFailureKeepsTarget) {
  test::TempDir dir;
  test::FaultyFileSystem fs;
  const std::string path = dir.File("store");
  ASSERT_TRUE(fs.WriteFileAtomic(path, B("original")));
  fs.FailWrite(3);
  EXPECT_FALSE(fs.WriteFileAtomic(path, B("replacement")));
  EXPECT_EQ(*fs.ReadFile(path), B("original"));
  EXPECT_EQ(fs.failed_writes(), 1);
  ASSERT_TRUE(fs.WriteFileAtomic(path, B("replacement")));
  EXPECT_EQ(*fs.ReadFile(path), B("replacement"));
}

TEST(Files, ListCreateRemove) {
  test::TempDir dir;
  FileSystem& fs = NativeFileSystem();
  ASSERT_TRUE(fs.CreateFolder(dir.File("public")));
  ASSERT_TRUE(fs.CreateFolder(dir.File("public")));  // existing folder: no error
  ASSERT_TRUE(fs.WriteFileAtomic(dir.File("a.qvx"), B("a")));
  ASSERT_TRUE(fs.WriteFileAtomic(dir.File("b.qvx"), B("b")));
  auto names = *fs.ListFiles(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.qvx", "b.qvx"}));
  EXPECT_TRUE(fs.FileExists(dir.File("a.qvx")));
  EXPECT_FALSE(fs.FileExists(dir.File("public")));
  EXPECT_TRUE(fs.FolderExists(dir.File("public")));
  ASSERT_TRUE(fs.RemoveFile(dir.File("a.qvx")));
  EXPECT_EQ(fs.RemoveFile(dir.File("a.qvx")).code(), Errc::NotFound);
  EXPECT_EQ(fs.ListFiles(dir.File("nothing")).code(), Errc::NotFound);
}

}  // namespace
}  // namespace qvx

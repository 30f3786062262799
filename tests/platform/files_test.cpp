// The file interface on the real file system of the platform under test.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <type_traits>

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

TEST(Files, SecretFilesReadWhole) {
  // Straight into wiped memory (native) and through the copying default
  // (the test double forwards ReadFile only): the same bytes either way.
  static_assert(std::is_same_v<decltype(NativeFileSystem().ReadSecretFile("")), Result<SecureBytes>>);
  test::TempDir dir;
  test::FaultyFileSystem copying;
  auto rng = test::Rng("secret files");
  for (std::size_t size : {0u, 1u, 65535u, 65536u, 65537u, 1u << 20}) {
    SCOPED_TRACE(size);
    const Bytes data = test::RandomBytes(rng, size);
    ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(dir.File("secret"), data));
    for (FileSystem* fs : {&NativeFileSystem(), static_cast<FileSystem*>(&copying)}) {
      auto read = fs->ReadSecretFile(dir.File("secret"));
      ASSERT_TRUE(read) << read.error().detail;
      EXPECT_TRUE(std::equal(read->begin(), read->end(), data.begin(), data.end()));
    }
  }
  EXPECT_EQ(NativeFileSystem().ReadSecretFile(dir.File("missing")).code(), Errc::NotFound);
  copying.FailReads(true);
  EXPECT_EQ(copying.ReadSecretFile(dir.File("secret")).code(), Errc::Io);
}

TEST(Files, InspectPathDoesNotFollowLinks) {
  test::TempDir dir;
  FileSystem& fs = NativeFileSystem();
  ASSERT_TRUE(fs.WriteFileAtomic(dir.File("file"), B("x")));
  ASSERT_TRUE(fs.CreateFolder(dir.File("folder")));
  EXPECT_EQ(InspectPath(dir.File("file")), PathKind::Regular);
  EXPECT_EQ(InspectPath(dir.File("folder")), PathKind::Directory);
  EXPECT_EQ(InspectPath(dir.File("missing")), PathKind::Missing);
  EXPECT_EQ(InspectPath(JoinPath(dir.File("missing"), "x")), PathKind::Missing);
  // The null device, under its name on either platform.
  EXPECT_EQ(InspectPath(PathSeparator() == '/' ? "/dev/null" : "NUL"), PathKind::Other);
}

TEST(Files, ExclusiveCreateNeverReplaces) {
  test::TempDir dir;
  FileSystem& fs = NativeFileSystem();
  const std::string path = dir.File("new.bin");
  ASSERT_TRUE(fs.CreateFileExclusive(path, B("first")));
  EXPECT_EQ(fs.CreateFileExclusive(path, B("second")).code(), Errc::AlreadyExists);
  EXPECT_EQ(*fs.ReadFile(path), B("first"));
  // Into a missing folder: an error that is not "exists", and nothing left.
  EXPECT_EQ(fs.CreateFileExclusive(JoinPath(dir.File("missing"), "x"), B("x")).code(), Errc::NotFound);
  EXPECT_EQ(*fs.ListFiles(dir.path()), std::vector<std::string>{"new.bin"});
}

TEST(Files, ExclusiveCreateHasOneWinnerAmongRacingThreads) {
  test::TempDir dir;
  const std::string path = dir.File("race.bin");
  constexpr int kThreads = 8;
  std::atomic<int> created{0}, existed{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      const Status s = NativeFileSystem().CreateFileExclusive(path, B(std::string(1000, 'a' + i)));
      if (s) ++created;
      else if (s.code() == Errc::AlreadyExists) ++existed;
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(created.load(), 1);
  EXPECT_EQ(existed.load(), kThreads - 1);
  EXPECT_EQ(NativeFileSystem().ListFiles(dir.path())->size(), 1u);  // no temporary files
}

TEST(Files, ReplaceSucceedsWhileOthersReadTheFile) {
  // Readers that take no lock (a storage opened elsewhere checks its password
  // that way) hold the file open now and then while it is replaced: no
  // replace fails for that, and every read sees one whole version.
  test::TempDir dir;
  const std::string path = dir.File("shared.bin");
  const auto version = [](int n) { return B(std::string(4096, static_cast<char>('a' + n % 26))); };
  ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(path, version(0)));
  std::atomic<bool> writing{true};
  std::atomic<int> torn{0}, reads{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&] {
      while (writing) {
        auto data = NativeFileSystem().ReadFile(path);
        if (!data) continue;  // a read refused for a moment is not what this is about
        ++reads;
        if (data->size() != 4096 || std::count(data->begin(), data->end(), (*data)[0]) != 4096) ++torn;
        // Now and then, as programs read: a reader that never lets go would
        // keep any replace out for good.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  int failed = 0;
  std::string first_error;
  for (int n = 1; n <= 150; ++n) {
    const Status s = NativeFileSystem().WriteFileAtomic(path, version(n));
    if (!s && failed++ == 0) first_error = s.error().detail;
  }
  writing = false;
  for (auto& t : readers) t.join();
  EXPECT_EQ(failed, 0) << first_error;
  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(*NativeFileSystem().ReadFile(path), version(150));
  EXPECT_EQ(*NativeFileSystem().ListFiles(dir.path()), std::vector<std::string>{"shared.bin"});
}

TEST(FileLocks, ExcludeOtherHoldersUntilReleased) {
  test::TempDir dir;
  FileSystem& fs = NativeFileSystem();
  const std::string lock_path = LockPathFor(dir.File("store"));
  EXPECT_EQ(lock_path, dir.File("store.lock"));
  {
    auto held = fs.LockExclusive(lock_path, std::chrono::milliseconds(0));
    ASSERT_TRUE(held) << held.error().detail;
    // A second holder in this process, as in another one, waits and gives up.
    const auto start = std::chrono::steady_clock::now();
    auto second = fs.LockExclusive(lock_path, std::chrono::milliseconds(200));
    EXPECT_EQ(second.code(), Errc::Busy);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  }
  // Released: free at once, and no lock file is left behind.
  EXPECT_FALSE(fs.FileExists(lock_path));
  {
    auto again = fs.LockExclusive(lock_path, std::chrono::milliseconds(0));
    EXPECT_TRUE(again);
  }
  EXPECT_TRUE(fs.ListFiles(dir.path())->empty());
  // A folder that does not exist cannot hold a lock file: an error, not Busy.
  EXPECT_NE(fs.LockExclusive(JoinPath(dir.File("missing"), "x.lock"), std::chrono::milliseconds(0)).code(),
            Errc::Busy);
}

TEST(FileLocks, SerialiseReadModifyWriteAcrossThreads) {
  // Each thread increments a counter file under the lock; a lost update shows
  // as a final count below the number of increments.
  test::TempDir dir;
  const std::string path = dir.File("counter");
  ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(path, B("0")));
  constexpr int kThreads = 4, kIncrements = 25;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      FileSystem& fs = NativeFileSystem();
      for (int i = 0; i < kIncrements; ++i) {
        auto lock = fs.LockExclusive(LockPathFor(path), std::chrono::seconds(30));
        auto data = fs.ReadFile(path);
        if (!lock || !data) {
          ++failures;
          continue;
        }
        const int value = std::stoi(std::string(data->begin(), data->end()));
        if (!fs.WriteFileAtomic(path, B(std::to_string(value + 1)))) ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  const Bytes final_value = *NativeFileSystem().ReadFile(path);
  EXPECT_EQ(std::string(final_value.begin(), final_value.end()), std::to_string(kThreads * kIncrements));
  EXPECT_FALSE(NativeFileSystem().FileExists(LockPathFor(path)));
}

}  // namespace
}  // namespace qvx

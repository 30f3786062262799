// Several writers on one storage folder at once (each with its own login or
// file object, as the tray program and qvx have): no change is lost, no
// account is created twice, and a lock that stays taken ends in Busy.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "storage/account.h"
#include "storage/associations.h"
#include "storage/book.h"
#include "tests/storage/storage_test_util.h"
#include "tests/support/test_util.h"

namespace qvx::storage {
namespace {

using testing_util::Owners;

constexpr int kWriters = 3;
constexpr int kChangesEach = 12;

// Runs `work(writer)` for every writer on its own thread, all started together.
void RunTogether(int writers, const std::function<void(int)>& work) {
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < writers; ++w) {
    threads.emplace_back([&, w] {
      ++ready;
      while (ready.load() < writers) std::this_thread::yield();
      work(w);
    });
  }
  for (auto& t : threads) t.join();
}

class ConcurrentWritersTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  AccountFolder folder{NativeFileSystem(), dir.path()};
};

TEST_F(ConcurrentWritersTest, EveryAddedRecordIsKept) {
  ASSERT_TRUE(CreateAccount(folder, "alice", "secret"));
  std::atomic<int> failures{0};
  RunTogether(kWriters, [&](int w) {
    auto session = OpenAccount(folder, "alice", "secret");  // one login per writer
    if (!session) {
      ++failures;
      return;
    }
    for (int i = 0; i < kChangesEach; ++i) {
      const std::string owner = "w" + std::to_string(w) + "-" + std::to_string(i);
      if (!session->Add(owner, "pw", "note")) ++failures;
    }
  });
  EXPECT_EQ(failures.load(), 0);
  auto session = OpenAccount(folder, "alice", "secret");
  ASSERT_TRUE(session);
  std::vector<std::string> owners = Owners(*session);
  EXPECT_EQ(owners.size(), static_cast<std::size_t>(kWriters * kChangesEach));
  std::sort(owners.begin(), owners.end());
  EXPECT_EQ(std::unique(owners.begin(), owners.end()), owners.end());
  EXPECT_FALSE(NativeFileSystem().FileExists(LockPathFor(session->path())));
}

TEST_F(ConcurrentWritersTest, RemovalsAndAdditionsDoNotUndoEachOther) {
  auto first = testing_util::MakeAccount(folder, "alice", "secret", kChangesEach);
  std::atomic<int> failures{0};
  RunTogether(2, [&](int w) {
    auto session = OpenAccount(folder, "alice", "secret");
    if (!session) {
      ++failures;
      return;
    }
    for (int i = 0; i < kChangesEach; ++i) {
      if (w == 0) {
        if (!session->Add("new" + std::to_string(i), "pw", "")) ++failures;
      } else {
        auto records = session->ReadRecords();
        if (!records) {
          ++failures;
          continue;
        }
        const auto old = std::find_if(records->begin(), records->end(), [](const StoredRecord& r) {
          return r.contents.owner.view().rfind("owner", 0) == 0;
        });
        if (old == records->end() || !session->Remove(*old)) ++failures;
      }
    }
  });
  EXPECT_EQ(failures.load(), 0);
  std::vector<std::string> owners = Owners(first);
  ASSERT_EQ(owners.size(), static_cast<std::size_t>(kChangesEach));
  for (const auto& owner : owners) EXPECT_EQ(owner.rfind("new", 0), 0u) << owner;
}

TEST_F(ConcurrentWritersTest, AnAccountIsCreatedOnce) {
  std::atomic<int> created{0}, existed{0};
  RunTogether(4, [&](int w) {
    auto session = CreateAccount(folder, "bob", "password " + std::to_string(w));
    if (session) ++created;
    else if (session.code() == Errc::AlreadyExists) ++existed;
  });
  EXPECT_EQ(created.load(), 1);
  EXPECT_EQ(existed.load(), 3);
  // Exactly one of the passwords opens it.
  int opening = 0;
  for (int w = 0; w < 4; ++w) opening += OpenAccount(folder, "bob", "password " + std::to_string(w)).ok();
  EXPECT_EQ(opening, 1);
}

TEST_F(ConcurrentWritersTest, AssociationsFromSeveralWritersAreAllKept) {
  std::atomic<int> failures{0};
  RunTogether(kWriters, [&](int w) {
    AssociationsFile file = AssociationsFile::InFolder(NativeFileSystem(), dir.path());
    for (int i = 0; i < kChangesEach; ++i) {
      KeyIdBytes id{};
      id[0] = static_cast<std::uint8_t>(w);
      id[1] = static_cast<std::uint8_t>(i);
      if (!file.Add(id, Sha256Digest{}, "alice")) ++failures;
    }
  });
  EXPECT_EQ(failures.load(), 0);
  auto all = AssociationsFile::InFolder(NativeFileSystem(), dir.path()).ReadAll();
  ASSERT_TRUE(all);
  EXPECT_EQ(all->size(), static_cast<std::size_t>(kWriters * kChangesEach));
}

TEST_F(ConcurrentWritersTest, AHeldLockEndsInBusyAndLeavesTheFileAlone) {
  auto session = testing_util::MakeAccount(folder, "alice", "secret", 2);
  const Bytes before = testing_util::FileBytes(session.path());
  auto other = OpenAccount(folder, "alice", "secret");
  ASSERT_TRUE(other);
  auto records = other->ReadRecords();
  ASSERT_TRUE(records);
  AssociationsFile associations = AssociationsFile::InFolder(NativeFileSystem(), dir.path());
  session.set_lock_wait(std::chrono::milliseconds(100));
  associations.set_lock_wait(std::chrono::milliseconds(100));

  struct Case {
    const char* what;
    std::string lock_path;
    std::function<Status()> change;
  };
  const Case cases[] = {
      {"add", LockPathFor(session.path()), [&] { return session.Add("x", "y", "z"); }},
      {"edit", LockPathFor(session.path()), [&] { return session.Edit((*records)[0], "new", ""); }},
      {"remove", LockPathFor(session.path()), [&] { return session.Remove((*records)[0]); }},
      {"change password", LockPathFor(session.path()), [&] { return session.ChangePassword("new"); }},
      {"associate", LockPathFor(associations.path()),
       [&] { return associations.Add(KeyIdBytes{}, Sha256Digest{}, "alice"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto held = NativeFileSystem().LockExclusive(c.lock_path, std::chrono::milliseconds(0));
    ASSERT_TRUE(held);
    const Status s = c.change();
    ASSERT_FALSE(s);
    EXPECT_EQ(s.code(), Errc::Busy);
    EXPECT_EQ(StorageErrorMessage(s.error(), true), Msg::StorageBusy);
  }
  EXPECT_EQ(testing_util::FileBytes(session.path()), before);
  EXPECT_FALSE(NativeFileSystem().FileExists(associations.path()));
}

}  // namespace
}  // namespace qvx::storage

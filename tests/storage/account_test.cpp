// Account files on the real file system: names, creation, login, adding,
// editing, removing, re-keying, damaged files and failed writes.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "engine/sha256.h"
#include "storage/account.h"
#include "tests/storage/storage_test_util.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/test_util.h"

namespace qvx::storage {
namespace {

using testing_util::FileBytes;
using testing_util::MakeAccount;
using testing_util::Owners;
using testing_util::WriteBytes;

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

class AccountTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  AccountFolder folder{NativeFileSystem(), dir.path()};
  std::string Path(const std::string& name) const { return folder.FilePath(name); }
};

TEST(AccountNames, SafeFileNamesOnly) {
  struct Case {
    std::string name;
    bool open, create;
  };
  const Case cases[] = {
      {"alice", true, true},
      {"Max Mustermann", true, true},
      {"a..b", true, true},
      {"caf\xE9", true, true},  // ANSI letters
      {Repeat('n', 127), true, true},
      {"COM0", true, true},
      {"console", true, true},
      {"", false, false},
      {Repeat('n', 128), false, false},
      {".", false, false},
      {"..", false, false},
      {"a/b", false, false},
      {"a\\b", false, false},
      {"../up", false, false},
      {"c:x", false, false},
      {"a*", false, false},
      {"a?", false, false},
      {"<a>", false, false},
      {"a|b", false, false},
      {"a\"b", false, false},
      {"tab\there", false, false},
      {"line\nbreak", false, false},
      {"CON", false, false},
      {"con", false, false},
      {"Nul.txt", false, false},
      {"prn", false, false},
      {"AUX", false, false},
      {"COM1", false, false},
      {"com9", false, false},
      {"LPT1", false, false},
      {"COM1 ", false, false},
      {"COM\xB9", false, false},
      {"CONIN$", false, false},
      {"bob.", true, false},  // an existing file could carry it; new ones may not
      {"bob ", true, false},
      {"...", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("name \"" + c.name + "\"");
    EXPECT_EQ(!AccountNameProblem(c.name, NameUse::Open), c.open);
    EXPECT_EQ(!AccountNameProblem(c.name, NameUse::Create), c.create);
  }
}

TEST_F(AccountTest, CreateWritesTheHeaderOnly) {
  auto session = CreateAccount(folder, "alice", "secret");
  ASSERT_TRUE(session) << session.error().detail;
  EXPECT_EQ(session->path(), JoinPath(dir.path(), "alice.qvxp"));
  // Reserved word 0, then SHA-256(SHA-256("secret")).
  EXPECT_EQ(test::ToHex(FileBytes(Path("alice"))),
            "00000000"
            "3881219d087dd9c634373fd33dfa33a2cb6bfc6c520b64b8bb60ef2ceb534ae7");
  EXPECT_TRUE(session->ReadRecords()->empty());
}

TEST_F(AccountTest, LoginDecisions) {
  MakeAccount(folder, "alice", "secret", 1);
  const Bytes before = FileBytes(Path("alice"));
  struct Case {
    const char* what;
    std::function<Errc()> run;
    Errc expected;
  };
  auto open = [&](const char* name, const char* password) {
    auto s = OpenAccount(folder, name, password);
    return s ? Errc::Unsupported : s.code();  // Unsupported stands for success here
  };
  auto create = [&](const char* name, const char* password) {
    auto s = CreateAccount(folder, name, password);
    return s ? Errc::Unsupported : s.code();
  };
  const Case cases[] = {
      {"right password", [&] { return open("alice", "secret"); }, Errc::Unsupported},
      {"wrong password", [&] { return open("alice", "Secret"); }, Errc::WrongPassword},
      {"empty password", [&] { return open("alice", ""); }, Errc::WrongPassword},
      {"no such account", [&] { return open("bob", "secret"); }, Errc::NotFound},
      {"unsafe name", [&] { return open("../alice", "secret"); }, Errc::InvalidArgument},
      {"create existing", [&] { return create("alice", "other"); }, Errc::AlreadyExists},
      {"create, empty password", [&] { return create("carol", ""); }, Errc::InvalidArgument},
      {"create, device name", [&] { return create("NUL", "x"); }, Errc::InvalidArgument},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.run(), c.expected);
  }
  EXPECT_EQ(FileBytes(Path("alice")), before);
  EXPECT_FALSE(NativeFileSystem().FileExists(Path("carol")));
  EXPECT_EQ(*NativeFileSystem().ListFiles(dir.path()), std::vector<std::string>{"alice.qvxp"});
}

TEST_F(AccountTest, RecordsRoundTripInFileOrder) {
  auto session = MakeAccount(folder, "alice", "secret", 0);
  ASSERT_TRUE(session.Add("Bank", Repeat('p', 63), Repeat('n', 255), 111));
  ASSERT_TRUE(session.Add(Repeat('o', 127), "", "", 222));
  ASSERT_TRUE(session.Add("mail", "hunter2", "work account", 333));
  EXPECT_EQ(FileBytes(Path("alice")).size(), 36u + 3 * 484u);

  auto again = OpenAccount(folder, "alice", "secret");
  ASSERT_TRUE(again);
  auto records = again->ReadRecords();
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), 3u);
  EXPECT_EQ((*records)[0].contents.owner.view(), "Bank");
  EXPECT_EQ((*records)[0].contents.password.view(), Repeat('p', 63));
  EXPECT_EQ((*records)[0].contents.note.view(), Repeat('n', 255));
  EXPECT_EQ((*records)[0].contents.created, 111u);
  EXPECT_EQ((*records)[1].contents.owner.view(), Repeat('o', 127));
  EXPECT_EQ((*records)[1].contents.password.view(), "");
  EXPECT_EQ((*records)[2].contents.password.view(), "hunter2");
  EXPECT_EQ((*records)[2].contents.created, 333u);
  for (std::size_t i = 0; i < records->size(); ++i) EXPECT_EQ((*records)[i].index, i);
}

TEST_F(AccountTest, AddStampsTheLocalTimeNow) {
  auto session = MakeAccount(folder, "alice", "secret", 0);
  const FileTime before = LocalFileTimeNow();
  ASSERT_TRUE(session.Add("o", "p", "n"));
  const FileTime after = LocalFileTimeNow();
  const FileTime t = (*session.ReadRecords())[0].contents.created;
  EXPECT_GE(t, before);
  EXPECT_LE(t, after);
}

TEST_F(AccountTest, TooLongPasswordIsRefusedNotCut) {
  auto session = MakeAccount(folder, "alice", "secret", 1);
  const Bytes before = FileBytes(Path("alice"));
  for (std::size_t n : {64u, 79u, 80u, 200u}) {
    const Status s = session.Add("owner", Repeat('x', n), "");
    EXPECT_EQ(s.code(), Errc::InvalidArgument) << n;
    EXPECT_NE(s.error().detail.find("63"), std::string::npos);
  }
  const StoredRecord first = (*session.ReadRecords())[0];
  EXPECT_EQ(session.Edit(first, Repeat('x', 64), "").code(), Errc::InvalidArgument);
  EXPECT_EQ(FileBytes(Path("alice")), before);
}

TEST_F(AccountTest, ShortFilesAreCorrupted) {
  for (std::size_t size : {0u, 1u, 4u, 35u}) {
    SCOPED_TRACE(size);
    auto session = MakeAccount(folder, "s" + std::to_string(size), "pw", 0);
    Bytes cut = FileBytes(session.path());
    cut.resize(size);
    WriteBytes(session.path(), cut);
    EXPECT_EQ(OpenAccount(folder, "s" + std::to_string(size), "pw").code(), Errc::Corrupted);
    // Logged in before the file was cut: nothing is read or written.
    EXPECT_EQ(session.ReadRecords().code(), Errc::Corrupted);
    EXPECT_EQ(session.Add("o", "p", "n").code(), Errc::Corrupted);
    EXPECT_EQ(session.ChangePassword("new").code(), Errc::Corrupted);
    EXPECT_EQ(FileBytes(session.path()), cut);
  }
}

TEST_F(AccountTest, BytesBehindTheLastRecordAreIgnoredAndDroppedOnSave) {
  for (std::size_t tail : {1u, 35u, 483u}) {
    SCOPED_TRACE(tail);
    const std::string name = "t" + std::to_string(tail);
    auto session = MakeAccount(folder, name, "pw", 2);
    Bytes data = FileBytes(session.path());
    const Bytes whole = data;
    data.insert(data.end(), tail, 0xA5);
    WriteBytes(session.path(), data);
    EXPECT_EQ(Owners(session), (std::vector<std::string>{"owner1", "owner2"}));
    // A new record lands on the record boundary, not behind the stray bytes.
    ASSERT_TRUE(session.Add("owner3", "pw3", "note3", 3));
    const Bytes after = FileBytes(session.path());
    ASSERT_EQ(after.size(), 36u + 3 * 484u);
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), after.begin()));
    EXPECT_EQ(Owners(session), (std::vector<std::string>{"owner1", "owner2", "owner3"}));
  }
}

TEST_F(AccountTest, RemovingClosesTheGap) {
  struct Case {
    int records;
    std::size_t remove;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {1, 0, {}},
      {3, 0, {"owner2", "owner3"}},
      {3, 1, {"owner1", "owner3"}},
      {3, 2, {"owner1", "owner2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.records << " records, removing #" << c.remove);
    const std::string name = "r" + std::to_string(c.records) + "_" + std::to_string(c.remove);
    auto session = MakeAccount(folder, name, "pw", c.records);
    const Bytes before = FileBytes(session.path());
    auto records = *session.ReadRecords();
    ASSERT_TRUE(session.Remove(records[c.remove]));
    const Bytes after = FileBytes(session.path());
    ASSERT_EQ(after.size(), before.size() - 484);
    // The other records keep their bytes, only moved up.
    Bytes expected(before.begin(), before.begin() + 36 + 484 * static_cast<std::ptrdiff_t>(c.remove));
    expected.insert(expected.end(), before.begin() + 36 + 484 * static_cast<std::ptrdiff_t>(c.remove + 1),
                    before.end());
    EXPECT_EQ(after, expected);
    EXPECT_EQ(Owners(session), c.left);
    EXPECT_TRUE(OpenAccount(folder, name, "pw"));
    // The same record cannot be removed twice.
    EXPECT_EQ(session.Remove(records[c.remove]).code(), Errc::NotFound);
  }
}

TEST_F(AccountTest, EditRewritesOneRecordInPlace) {
  auto session = MakeAccount(folder, "alice", "pw", 3);
  const Bytes before = FileBytes(session.path());
  auto records = *session.ReadRecords();
  ASSERT_TRUE(session.Edit(records[1], "changed", "new note"));
  const Bytes after = FileBytes(session.path());
  ASSERT_EQ(after.size(), before.size());
  // Header, records 1 and 3, and record 2's time and owner are unchanged.
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 36 + 484 + 140, after.begin()));
  EXPECT_TRUE(std::equal(before.begin() + 36 + 2 * 484, before.end(), after.begin() + 36 + 2 * 484));
  auto edited = (*session.ReadRecords())[1].contents;
  EXPECT_EQ(edited.owner.view(), "owner2");
  EXPECT_EQ(edited.password.view(), "changed");
  EXPECT_EQ(edited.note.view(), "new note");
  EXPECT_EQ(edited.created, 1002u);
  // Unchanged texts write nothing.
  auto now = (*session.ReadRecords())[1];
  ASSERT_TRUE(session.Edit(now, "changed", "new note"));
  EXPECT_EQ(FileBytes(session.path()), after);
}

TEST_F(AccountTest, EditFindsARecordThatMovedAndRefusesOneThatIsGone) {
  auto session = MakeAccount(folder, "alice", "pw", 3);
  auto records = *session.ReadRecords();
  ASSERT_TRUE(session.Remove(records[0]));  // record 3 is now at index 1
  ASSERT_TRUE(session.Edit(records[2], "moved", "still found"));
  EXPECT_EQ((*session.ReadRecords())[1].contents.password.view(), "moved");
  const Bytes before = FileBytes(session.path());
  EXPECT_EQ(session.Edit(records[0], "gone", "").code(), Errc::NotFound);
  EXPECT_EQ(FileBytes(session.path()), before);
}

TEST_F(AccountTest, ChangePasswordReEnciphersEveryRecord) {
  auto session = MakeAccount(folder, "alice", "old password", 3);
  auto before = *session.ReadRecords();
  ASSERT_TRUE(session.ChangePassword("new password"));
  EXPECT_EQ(OpenAccount(folder, "alice", "old password").code(), Errc::WrongPassword);
  auto reopened = OpenAccount(folder, "alice", "new password");
  ASSERT_TRUE(reopened);
  for (const StorageSession* s : {&session, &*reopened}) {
    auto after = s->ReadRecords();
    ASSERT_TRUE(after) << after.error().detail;
    ASSERT_EQ(after->size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
      EXPECT_EQ((*after)[i].contents.owner.view(), before[i].contents.owner.view());
      EXPECT_EQ((*after)[i].contents.password, before[i].contents.password);
      EXPECT_EQ((*after)[i].contents.note.view(), before[i].contents.note.view());
      EXPECT_EQ((*after)[i].contents.created, before[i].contents.created);
      EXPECT_NE((*after)[i].bytes, before[i].bytes);
    }
  }
  // The session goes on under the new key.
  ASSERT_TRUE(session.Add("owner4", "pw4", "", 4));
  EXPECT_EQ(Owners(*reopened).size(), 4u);
  EXPECT_EQ(session.ChangePassword("").code(), Errc::InvalidArgument);
}

TEST_F(AccountTest, FindAssociatedPasswordInAnyPosition) {
  auto session = MakeAccount(folder, "alice", "pw", 4);
  ASSERT_TRUE(session.Add("duplicate", "pw3", "", 9));
  for (int i = 1; i <= 4; ++i) {
    const std::string password = "pw" + std::to_string(i);
    const Key256 key = PasswordToKey(password);
    auto found = session.FindAssociatedPassword(Sha256Of(key.data(), key.size()));
    ASSERT_TRUE(found) << password;
    EXPECT_TRUE(*found == key);
  }
  const Key256 other = PasswordToKey("pw5");
  EXPECT_EQ(session.FindAssociatedPassword(Sha256Of(other.data(), other.size())).code(),
            Errc::NotFound);
  // The key of a chosen record is the same digest.
  auto records = *session.ReadRecords();
  EXPECT_TRUE(session.PasswordKey(records[1]) == PasswordToKey("pw2"));
}

TEST_F(AccountTest, DamagedRecordsAreReportedAndNeverOverwritten) {
  // One changed byte in each check value and in the first block of each text.
  for (std::size_t offset : {8u, 20u, 141u, 150u, 225u, 240u}) {
    SCOPED_TRACE(offset);
    const std::string name = "d" + std::to_string(offset);
    auto session = MakeAccount(folder, name, "pw", 3);
    auto records = *session.ReadRecords();
    Bytes data = FileBytes(session.path());
    data[36 + 484 + offset] ^= 0x40;  // the second record
    WriteBytes(session.path(), data);
    EXPECT_EQ(session.ReadRecords().code(), Errc::Corrupted);
    EXPECT_EQ(session.Add("o", "p", "n").code(), Errc::Corrupted);
    EXPECT_EQ(session.Edit(records[0], "p", "n").code(), Errc::Corrupted);
    EXPECT_EQ(session.Remove(records[1]).code(), Errc::Corrupted);
    EXPECT_EQ(session.ChangePassword("other").code(), Errc::Corrupted);
    EXPECT_EQ(FileBytes(session.path()), data);
    EXPECT_TRUE(OpenAccount(folder, name, "pw"));  // the header still opens
  }
}

TEST_F(AccountTest, ChangesOutsideTheSessionStopIt) {
  auto session = MakeAccount(folder, "alice", "pw", 2);
  auto other = OpenAccount(folder, "alice", "pw");
  ASSERT_TRUE(other);
  ASSERT_TRUE(other->ChangePassword("elsewhere"));
  const Bytes rekeyed = FileBytes(session.path());
  EXPECT_EQ(session.Add("o", "p", "n").code(), Errc::WrongPassword);
  EXPECT_EQ(session.ReadRecords().code(), Errc::WrongPassword);
  EXPECT_EQ(FileBytes(session.path()), rekeyed);

  // The file removed while logged in: reported, not created again.
  ASSERT_TRUE(NativeFileSystem().RemoveFile(session.path()));
  EXPECT_EQ(session.Add("o", "p", "n").code(), Errc::NotFound);
  EXPECT_EQ(session.ReadRecords().code(), Errc::NotFound);
  EXPECT_FALSE(NativeFileSystem().FileExists(session.path()));
}

TEST_F(AccountTest, FailedWritesLeaveTheFileAsItWas) {
  struct Op {
    const char* name;
    std::function<Status(StorageSession&, const std::vector<StoredRecord>&)> run;
  };
  const Op ops[] = {
      {"add", [](StorageSession& s, const auto&) { return s.Add("new", "pw", "note", 5); }},
      {"edit", [](StorageSession& s, const auto& r) { return s.Edit(r[1], "edited", "x"); }},
      {"remove first", [](StorageSession& s, const auto& r) { return s.Remove(r[0]); }},
      {"remove last", [](StorageSession& s, const auto& r) { return s.Remove(r[2]); }},
      {"change password", [](StorageSession& s, const auto&) { return s.ChangePassword("new"); }},
  };
  int n = 0;
  for (const Op& op : ops) {
    for (std::size_t written : {0u, 36u, 500u, 100000u}) {
      SCOPED_TRACE(testing::Message() << op.name << ", failing after " << written << " bytes");
      test::FaultyFileSystem faulty;
      const AccountFolder faulty_folder(faulty, dir.path());
      const std::string name = "f" + std::to_string(n++);
      MakeAccount(faulty_folder, name, "pw", 3);
      auto session = OpenAccount(faulty_folder, name, "pw");
      ASSERT_TRUE(session);
      auto records = *session->ReadRecords();
      const Bytes before = FileBytes(session->path());
      faulty.FailWrite(written);
      EXPECT_EQ(op.run(*session, records).code(), Errc::Io);
      EXPECT_EQ(faulty.failed_writes(), 1);
      EXPECT_EQ(FileBytes(session->path()), before);
      // The session still works with the password it had.
      EXPECT_EQ(Owners(*session), (std::vector<std::string>{"owner1", "owner2", "owner3"}));
      EXPECT_TRUE(OpenAccount(faulty_folder, name, "pw"));
    }
  }
  // A failed creation leaves no account behind.
  test::FaultyFileSystem faulty;
  const AccountFolder faulty_folder(faulty, dir.path());
  faulty.FailWrite(10);
  EXPECT_EQ(CreateAccount(faulty_folder, "never", "pw").code(), Errc::Io);
  EXPECT_FALSE(faulty_folder.Exists("never"));
}

}  // namespace
}  // namespace qvx::storage

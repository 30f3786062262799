// The associations file: layout, find, add, purge, cut-short files and failed
// writes.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "storage/associations.h"
#include "tests/storage/storage_test_util.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/test_util.h"

namespace qvx::storage {
namespace {

using testing_util::FileBytes;
using testing_util::WriteBytes;

KeyIdBytes Id(std::uint8_t n) {
  KeyIdBytes id;
  for (std::size_t i = 0; i < id.size(); ++i) id[i] = static_cast<std::uint8_t>(n * 7 + i);
  return id;
}

Sha256Digest Check(std::uint8_t n) {
  Sha256Digest d;
  d.fill(n);
  return d;
}

class AssociationsTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  AssociationsFile file = AssociationsFile::InFolder(NativeFileSystem(), dir.path());
  std::size_t Size() const { return FileBytes(file.path()).size(); }
};

TEST_F(AssociationsTest, RecordLayout) {
  ASSERT_TRUE(file.Add(Id(1), Check(0xC5), "alice"));
  EXPECT_EQ(file.path(), JoinPath(dir.path(), "associations.qvxc"));
  const Bytes data = FileBytes(file.path());
  ASSERT_EQ(data.size(), 212u);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 52, Id(1).begin()));
  for (std::size_t i = 52; i < 84; ++i) EXPECT_EQ(data[i], 0xC5);
  EXPECT_EQ(std::string(data.begin() + 84, data.begin() + 89), "alice");
  for (std::size_t i = 89; i < 212; ++i) EXPECT_EQ(data[i], 0) << i;

  // A 127-character name keeps its zero in the field's last byte; longer ones
  // do not fit.
  EXPECT_TRUE(EncodeAssociation({Id(2), Check(1), std::string(127, 'n')}));
  EXPECT_EQ((*EncodeAssociation({Id(2), Check(1), std::string(127, 'n')}))[211], 0);
  EXPECT_EQ(file.Add(Id(2), Check(1), std::string(128, 'n')).code(), Errc::InvalidArgument);
  EXPECT_EQ(Size(), 212u);
}

TEST_F(AssociationsTest, FindWithoutAFileCreatesNone) {
  auto found = file.Find(Id(1));
  ASSERT_TRUE(found);
  EXPECT_FALSE(found->has_value());
  EXPECT_FALSE(NativeFileSystem().FileExists(file.path()));
  EXPECT_TRUE(file.ReadAll()->empty());
  auto purged = file.Purge([](const KeyIdBytes&) -> Result<bool> { return false; });
  ASSERT_TRUE(purged);
  EXPECT_EQ(*purged, 0u);
  EXPECT_FALSE(NativeFileSystem().FileExists(file.path()));
}

TEST_F(AssociationsTest, AddFindAndOrder) {
  ASSERT_TRUE(file.Add(Id(1), Check(1), "alice"));
  ASSERT_TRUE(file.Add(Id(1), Check(1), "alice"));  // the same again: still one record
  EXPECT_EQ(Size(), 212u);
  ASSERT_TRUE(file.Add(Id(1), Check(2), "alice"));  // a second password appends
  ASSERT_TRUE(file.Add(Id(1), Check(1), "bob"));    // another account appends
  ASSERT_TRUE(file.Add(Id(2), Check(3), "bob"));
  EXPECT_EQ(Size(), 4 * 212u);

  struct Case {
    std::uint8_t id;
    bool found;
    std::uint8_t check;
    const char* account;
  };
  for (const Case c : {Case{1, true, 1, "alice"}, Case{2, true, 3, "bob"}, Case{3, false, 0, ""}}) {
    SCOPED_TRACE(static_cast<int>(c.id));
    auto found = file.Find(Id(c.id));
    ASSERT_TRUE(found);
    ASSERT_EQ(found->has_value(), c.found);
    if (c.found) {
      EXPECT_EQ((*found)->check, Check(c.check));
      EXPECT_EQ((*found)->account, c.account);
      EXPECT_EQ((*found)->key_id, Id(c.id));
    }
  }
  // Adding an existing record again moves it to the end: the first record of
  // key 1 is then the one with the second password.
  ASSERT_TRUE(file.Add(Id(1), Check(1), "alice"));
  EXPECT_EQ(Size(), 4 * 212u);
  EXPECT_EQ((*file.Find(Id(1)))->check, Check(2));
}

TEST_F(AssociationsTest, PurgeKeepsAndDrops) {
  struct Case {
    const char* what;
    std::set<std::uint8_t> with_private_key;
    std::vector<std::uint8_t> left;
  };
  const Case cases[] = {
      {"all keys present", {1, 2, 3}, {1, 2, 3}},
      {"first gone", {2, 3}, {2, 3}},
      {"middle gone", {1, 3}, {1, 3}},
      {"last gone", {1, 2}, {1, 2}},
      {"all gone", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(file.path(), Bytes{}));
    for (std::uint8_t id : {1, 2, 3}) ASSERT_TRUE(file.Add(Id(id), Check(id), "acct"));
    const Bytes before = FileBytes(file.path());
    auto dropped = file.Purge([&](const KeyIdBytes& key_id) -> Result<bool> {
      for (std::uint8_t id : c.with_private_key) {
        if (key_id == Id(id)) return true;
      }
      return false;
    });
    ASSERT_TRUE(dropped);
    EXPECT_EQ(*dropped, 3 - c.left.size());
    EXPECT_EQ(Size(), 212 * c.left.size());
    std::vector<std::uint8_t> left;
    const auto all = file.ReadAll();
    ASSERT_TRUE(all);
    for (const auto& a : *all) left.push_back(a.check[0]);
    EXPECT_EQ(left, c.left);
    if (c.left.size() == 3) {
      EXPECT_EQ(FileBytes(file.path()), before);
    }
  }
}

TEST_F(AssociationsTest, PurgeStopsWhenTheKeyStoreCannotTell) {
  for (std::uint8_t id : {1, 2, 3}) ASSERT_TRUE(file.Add(Id(id), Check(id), "acct"));
  const Bytes before = FileBytes(file.path());
  int asked = 0;
  auto result = file.Purge([&](const KeyIdBytes& key_id) -> Result<bool> {
    ++asked;
    if (key_id == Id(2)) return MakeError(Errc::Io, "key folder unreadable");
    return false;
  });
  EXPECT_EQ(result.code(), Errc::Io);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(FileBytes(file.path()), before);
}

TEST_F(AssociationsTest, CutShortRecordAtTheEnd) {
  // Whole records are read; a rewrite keeps whole records only, so a new
  // record never lands at a misaligned offset.
  for (std::size_t tail : {1u, 100u, 211u}) {
    SCOPED_TRACE(tail);
    ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(file.path(), Bytes{}));
    ASSERT_TRUE(file.Add(Id(1), Check(1), "alice"));
    ASSERT_TRUE(file.Add(Id(2), Check(2), "alice"));
    Bytes data = FileBytes(file.path());
    data.insert(data.end(), tail, 0x7E);
    WriteBytes(file.path(), data);
    EXPECT_EQ(file.ReadAll()->size(), 2u);
    EXPECT_EQ((*file.Find(Id(2)))->check, Check(2));
    // A purge that drops nothing leaves the file as it is, stray bytes included.
    ASSERT_TRUE(file.Purge([](const KeyIdBytes&) -> Result<bool> { return true; }));
    EXPECT_EQ(FileBytes(file.path()), data);

    ASSERT_TRUE(file.Add(Id(3), Check(3), "bob"));
    EXPECT_EQ(Size(), 3 * 212u);
    auto all = *file.ReadAll();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].account, "bob");
    EXPECT_EQ(all[2].key_id, Id(3));
  }
}

TEST_F(AssociationsTest, RemovingTheLastRecordShrinksBy212) {
  for (std::uint8_t id : {1, 2, 3}) ASSERT_TRUE(file.Add(Id(id), Check(id), "acct"));
  const Bytes before = FileBytes(file.path());
  ASSERT_TRUE(file.Purge([](const KeyIdBytes& id) -> Result<bool> { return id != Id(3); }));
  const Bytes after = FileBytes(file.path());
  ASSERT_EQ(after.size(), before.size() - 212);
  EXPECT_TRUE(std::equal(after.begin(), after.end(), before.begin()));
}

TEST_F(AssociationsTest, AccountNameWithoutZeroIsCutAtTheField) {
  AssociationBytes record{};
  std::fill(record.begin() + 84, record.end(), 'x');
  EXPECT_EQ(DecodeAssociation(record).account, std::string(128, 'x'));
}

TEST_F(AssociationsTest, FailedWritesLeaveTheFileAsItWas) {
  test::FaultyFileSystem faulty;
  AssociationsFile f = AssociationsFile::InFolder(faulty, dir.path());
  for (std::uint8_t id : {1, 2}) ASSERT_TRUE(f.Add(Id(id), Check(id), "acct"));
  const Bytes before = FileBytes(f.path());
  for (std::size_t written : {0u, 100u, 212u, 500u}) {
    SCOPED_TRACE(written);
    faulty.FailWrite(written);
    EXPECT_EQ(f.Add(Id(3), Check(3), "acct").code(), Errc::Io);
    EXPECT_EQ(FileBytes(f.path()), before);
    faulty.FailWrite(written);
    EXPECT_EQ(f.Purge([](const KeyIdBytes&) -> Result<bool> { return false; }).code(), Errc::Io);
    EXPECT_EQ(FileBytes(f.path()), before);
  }
  // An unreadable file is not replaced by a new one.
  faulty.FailReads(true);
  EXPECT_EQ(f.Add(Id(3), Check(3), "acct").code(), Errc::Io);
  faulty.FailReads(false);
  EXPECT_EQ(FileBytes(f.path()), before);
}

}  // namespace
}  // namespace qvx::storage

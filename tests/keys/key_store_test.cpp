// The key store on real files: generation, names and lookup by id, listing of
// "My key" and "Other key" entries, loading with protection keys, deletion,
// note editing, and what failing writes leave behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/password_key.h"
#include "keys/generate.h"
#include "keys/key_store.h"
#include "platform/system.h"
#include "tests/keys/test_keys.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::ReadAll;
using test::StorePair;
using test::TempDir;
using test::TestKey;

std::vector<std::string> KeyFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  auto listed = NativeFileSystem().ListFiles(folder);
  if (!listed) return names;
  for (const auto& name : *listed) {
    if (name.size() > 4 && name.substr(name.size() - 4) == ".qvx") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(GenerateKeyPair, WritesALoadablePairWithTheRequestedLength) {
  TempDir dir;
  KeyStore store(dir.path());
  const Key256 protection = PasswordToKey("secret");
  const FileTime before = LocalFileTimeNow();
  auto made = GenerateKeyPair(store, 1032, "Alice", "laptop", &protection);
  ASSERT_TRUE(made) << made.error().detail;
  EXPECT_EQ(made->public_path, store.PublicPath("Alice", made->header.id));
  EXPECT_EQ(made->private_path, store.PrivatePath("Alice", made->header.id));
  EXPECT_TRUE(made->header.id.MatchesOwner("Alice"));
  EXPECT_GE(made->header.created, before);

  auto pub = store.LoadPublicKey(made->public_path);
  ASSERT_TRUE(pub) << pub.error().detail;
  EXPECT_EQ(pub->key.ModulusBits(), 1032u);
  EXPECT_EQ(pub->header.bits, 1032u);
  EXPECT_EQ(pub->header.owner, "Alice");
  EXPECT_EQ(pub->header.note, "laptop");
  EXPECT_EQ(pub->header.flags, KeyFileHeader::kFlagProtected | KeyFileHeader::kFlagPublicFile);
  EXPECT_EQ(pub->key.PublicNumbers()->e, (Bytes{0x01, 0x00, 0x01}));

  FixedProtectionKey keys(protection);
  auto priv = store.LoadPrivateKey(made->private_path, keys);
  ASSERT_TRUE(priv) << priv.error().detail;
  EXPECT_EQ(keys.asked(), 1);
  EXPECT_EQ(priv->header.flags, KeyFileHeader::kFlagProtected);
  EXPECT_EQ(priv->header.id, pub->header.id);

  const auto listed = store.List();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].kind, KeyKind::Mine);

  // A second key of the same owner gets another id.
  auto second = GenerateKeyPair(store, 1024, "Alice", "", nullptr);
  ASSERT_TRUE(second);
  EXPECT_NE(second->header.id, made->header.id);
  EXPECT_EQ(store.List(KeyKind::Mine).size(), 2u);
  FixedProtectionKey never;
  EXPECT_TRUE(store.LoadPrivateKey(second->private_path, never));
  EXPECT_EQ(never.asked(), 0);
}

TEST(GenerateKeyPair, RefusesWhatTheFormatsCannotHold) {
  TempDir dir;
  KeyStore store(dir.path());
  struct Case {
    unsigned bits;
    std::string owner;
    std::string note;
  };
  const Case cases[] = {{1016, "A", ""},        {2056, "A", ""},           {1028, "A", ""},
                        {0, "A", ""},           {1024, "", ""},            {1024, std::string(80, 'a'), ""},
                        {1024, "a/b", ""},      {1024, "..", ""},          {1024, "a\\..\\b", ""},
                        {1024, "A", std::string(128, 'n')}};
  for (const auto& c : cases) {
    auto made = GenerateKeyPair(store, c.bits, c.owner, c.note, nullptr);
    EXPECT_EQ(made.code(), Errc::InvalidArgument) << c.bits << " " << c.owner;
  }
  EXPECT_TRUE(KeyFilesIn(store.PublicFolder()).empty());
  EXPECT_TRUE(KeyFilesIn(store.PrivateFolder()).empty());
  EXPECT_TRUE(IsValidKeyLength(1024));
  EXPECT_TRUE(IsValidKeyLength(2048));
  EXPECT_TRUE(IsValidKeyLength(1536));
}

TEST(GenerateKeyPair, FailedWritesLeaveNoKeyFiles) {
  for (int skip : {0, 1}) {
    TempDir dir;
    test::FaultyFileSystem files;
    KeyStore store(dir.path(), files);
    files.FailWrite(100, skip);
    auto made = GenerateKeyPair(store, 1024, "Bob", "", nullptr);
    EXPECT_FALSE(made) << "skip " << skip;
    EXPECT_TRUE(KeyFilesIn(store.PublicFolder()).empty());
    EXPECT_TRUE(KeyFilesIn(store.PrivateFolder()).empty()) << "skip " << skip;
    EXPECT_TRUE(store.List().empty());
  }
}

TEST(KeyStore, NamesAndPathMapping) {
  KeyStore store("base");
  KeyId::IdBytes bytes;
  for (int i = 0; i < 16; ++i) bytes[i] = static_cast<std::uint8_t>(i + 1);
  const KeyId id = KeyId::Make(bytes, "Bob Smith");
  const std::string text = "{02010403-0605-0807-0A09-0C0B0E0D100F}";
  EXPECT_EQ(KeyStore::PublicFileName("Bob Smith", id), "Bob Smith-pub" + text + ".qvx");
  EXPECT_EQ(KeyStore::PrivateFileName("Bob Smith", id), "Bob Smith-priv" + text + ".qvx");
  const std::string pub = store.PublicPath("Bob Smith", id);
  const std::string priv = store.PrivatePath("Bob Smith", id);
  EXPECT_EQ(pub, JoinPath(JoinPath("base", "public"), "Bob Smith-pub" + text + ".qvx"));
  EXPECT_EQ(store.PublicPathToPrivatePath(pub), priv);
  EXPECT_EQ(store.PrivatePathToPublicPath(priv), pub);
  // An owner that itself contains "-pub" maps by the fixed-length tail.
  const std::string tricky = store.PublicPath("x-pub-y", id);
  EXPECT_EQ(store.PublicPathToPrivatePath(tricky), store.PrivatePath("x-pub-y", id));
  for (const char* bad : {"Bob-pub.qvx", "readme.txt", "-pub{02010403-0605-0807-0A09-0C0B0E0D100F}.qvx",
                          "Bob-pub{02010403-0605-0807-0A09-0C0B0E0D100Z}.qvx",
                          "Bob-priv{02010403-0605-0807-0A09-0C0B0E0D100F}.qvx"}) {
    EXPECT_FALSE(store.PublicPathToPrivatePath(JoinPath("base", bad))) << bad;
  }
  EXPECT_FALSE(store.PrivatePathToPublicPath(pub));
}

TEST(KeyStore, ListsMineAndOtherAndFindsById) {
  TempDir dir;
  KeyStore store(dir.path());
  const auto alice1 = StorePair(store, TestKey(1024), "Alice", "one");
  const auto alice2 = StorePair(store, TestKey(2048), "Alice", "two");
  const auto bob = StorePair(store, TestKey(1024, 1), "Bob", "other person");
  ASSERT_TRUE(NativeFileSystem().RemoveFile(bob.private_path));
  // Files that are not key files, or not readable ones, are skipped.
  test::WriteAll(JoinPath(store.PublicFolder(), "notes.txt"), Bytes{1, 2, 3});
  test::WriteAll(JoinPath(store.PublicFolder(), "junk-pub.qvx"), Bytes(10, 0));

  const auto all = store.List();
  ASSERT_EQ(all.size(), 3u);
  const auto mine = store.List(KeyKind::Mine);
  const auto other = store.List(KeyKind::Other);
  ASSERT_EQ(mine.size(), 2u);
  ASSERT_EQ(other.size(), 1u);
  EXPECT_EQ(other[0].header.owner, "Bob");
  EXPECT_EQ(other[0].public_path, bob.public_path);
  EXPECT_TRUE(other[0].header.IsPublicFile());
  for (const auto& entry : mine) {
    EXPECT_EQ(entry.header.owner, "Alice");
    EXPECT_EQ(store.PublicPathToPrivatePath(entry.public_path), entry.private_path);
  }

  EXPECT_EQ(store.FindPrivateKeyFile(alice1.header.id), alice1.private_path);
  EXPECT_EQ(store.FindPrivateKeyFile(alice2.header.id), alice2.private_path);
  EXPECT_EQ(store.FindPublicKeyFile(alice2.header.id), alice2.public_path);
  EXPECT_EQ(store.FindPublicKeyFile(bob.header.id), bob.public_path);
  EXPECT_FALSE(store.FindPrivateKeyFile(bob.header.id));

  // The owner part of the name must be the owner recorded in the id.
  const std::string renamed = JoinPath(store.PrivateFolder(), KeyStore::PrivateFileName("Alicia", alice1.header.id));
  std::filesystem::rename(alice1.private_path, renamed);
  EXPECT_FALSE(store.FindPrivateKeyFile(alice1.header.id));
  // An absent store lists nothing and finds nothing.
  KeyStore empty(dir.File("nothing-here"));
  EXPECT_TRUE(empty.List().empty());
  EXPECT_FALSE(empty.FindPublicKeyFile(alice1.header.id));
}

TEST(KeyStore, LoadingAsksForTheProtectionKeyOnlyWhenNeeded) {
  TempDir dir;
  KeyStore store(dir.path());
  const Key256 password = PasswordToKey("pw");
  const auto pair = StorePair(store, TestKey(1024), "Carol", "", &password);
  FixedProtectionKey right(password), wrong(std::string_view("PW")), cancel;
  EXPECT_TRUE(store.LoadPrivateKey(pair.private_path, right));
  EXPECT_EQ(store.LoadPrivateKey(pair.private_path, wrong).code(), Errc::WrongPassword);
  EXPECT_EQ(store.LoadPrivateKey(pair.private_path, cancel).code(), Errc::Cancelled);
  EXPECT_EQ(cancel.asked(), 1);
  EXPECT_EQ(store.LoadPrivateKey(dir.File("missing.qvx"), right).code(), Errc::NotFound);
  EXPECT_EQ(store.LoadPublicKey(dir.File("missing.qvx")).code(), Errc::NotFound);
  // The public key is no private key.
  EXPECT_EQ(store.LoadPrivateKey(pair.public_path, right).code(), Errc::Corrupted);
}

TEST(KeyStore, DeleteRemovesThePairOrThePublicFile) {
  TempDir dir;
  KeyStore store(dir.path());
  StorePair(store, TestKey(1024), "Dan");
  const auto other = StorePair(store, TestKey(1024, 1), "Eve");
  ASSERT_TRUE(NativeFileSystem().RemoveFile(other.private_path));
  for (const auto& entry : store.List()) ASSERT_TRUE(store.Delete(entry));
  EXPECT_TRUE(store.List().empty());
  EXPECT_TRUE(KeyFilesIn(store.PrivateFolder()).empty());
}

TEST(KeyStore, EditNoteKeepsTheKeyAndNeedsItsPassword) {
  TempDir dir;
  KeyStore store(dir.path());
  const Key256 password = PasswordToKey("pw");
  const auto pair = StorePair(store, TestKey(1024), "Fay", "old note", &password);
  const Bytes public_before = ReadAll(pair.public_path);
  const Bytes private_before = ReadAll(pair.private_path);

  FixedProtectionKey wrong(std::string_view("nope"));
  EXPECT_EQ(store.EditNote(pair.private_path, "new note", wrong).code(), Errc::WrongPassword);
  EXPECT_EQ(ReadAll(pair.public_path), public_before);
  EXPECT_EQ(ReadAll(pair.private_path), private_before);
  FixedProtectionKey right(password);
  EXPECT_EQ(store.EditNote(pair.private_path, std::string(128, 'x'), right).code(), Errc::InvalidArgument);

  ASSERT_TRUE(store.EditNote(pair.private_path, "new note", right));
  auto pub = store.LoadPublicKey(pair.public_path);
  auto priv = store.LoadPrivateKey(pair.private_path, right);
  ASSERT_TRUE(pub);
  ASSERT_TRUE(priv);
  for (const KeyFileHeader* h : {&pub->header, &priv->header}) {
    EXPECT_EQ(h->note, "new note");
    EXPECT_EQ(h->owner, "Fay");
    EXPECT_EQ(h->id, pair.header.id);
    EXPECT_EQ(h->created, pair.header.created);
    EXPECT_TRUE(h->IsProtected());
  }
}

}  // namespace
}  // namespace qvx

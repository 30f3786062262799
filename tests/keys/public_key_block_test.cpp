// Public key blocks: making them from stored keys, reading them into another
// store byte for byte, overwrite questions, and refusal of blocks that are
// damaged or would write outside the public folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/base64.h"
#include "keys/public_key_block.h"
#include "tests/keys/test_keys.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::FilesUnder;
using test::ReadAll;
using test::ScriptedMessages;
using test::StorePair;
using test::TempDir;
using test::TestKey;

class PublicKeyBlocks : public testing::Test {
 protected:
  PublicKeyBlocks() : home_(home_dir_.path()), away_(away_dir_.path()) {
    pair_ = StorePair(home_, TestKey(2048), "Gina", "my key");
    small_ = StorePair(home_, TestKey(1024), "Hal", "");
  }

  std::string BlockOf(const test::StoredPair& pair) {
    auto block = MakePublicKeyBlockFromFile(home_, pair.public_path);
    EXPECT_TRUE(block);
    return block ? *block : std::string();
  }

  // A block of a public key file built with any header, sealed with a real key.
  static std::string CraftedBlock(const std::string& owner, std::string_view id_owner,
                                  const std::string& note = {}) {
    KeyFileHeader header;
    header.note = note;
    KeyId::IdBytes id{};
    id[0] = 7;
    header.id = KeyId::Make(id, id_owner);
    header.owner = owner;
    header.bits = 1024;
    auto file = EncodePublicKeyFile(header, TestKey(1024));
    return MakePublicKeyBlock(file->data(), file->size());
  }

  TempDir home_dir_, away_dir_;
  KeyStore home_, away_;
  test::StoredPair pair_, small_;
};

TEST_F(PublicKeyBlocks, TravelsByteForByte) {
  for (const auto* pair : {&pair_, &small_}) {
    const std::string block = BlockOf(*pair);
    ASSERT_EQ(block.substr(0, kPublicKeyStartLine.size()), kPublicKeyStartLine);
    ASSERT_EQ(block.substr(block.size() - kPublicKeyEndLine.size()), kPublicKeyEndLine);
    const std::string text = "Here is my key:" + block + "regards";
    ScriptedMessages messages;
    auto imported = ImportPublicKeyBlock(text, away_, messages);
    ASSERT_TRUE(imported) << imported.error().detail;
    EXPECT_TRUE(messages.asked.empty());
    EXPECT_EQ(imported->outcome, PublicKeyImportOutcome::Stored);
    EXPECT_EQ(imported->path, away_.PublicPath(pair->header.owner, pair->header.id));
    EXPECT_EQ(ReadAll(imported->path), ReadAll(pair->public_path));
    EXPECT_TRUE(away_.LoadPublicKey(imported->path));
  }
  EXPECT_EQ(away_.List(KeyKind::Other).size(), 2u);
  EXPECT_TRUE(away_.List(KeyKind::Mine).empty());
}

TEST_F(PublicKeyBlocks, OverwriteOnlyAfterConfirmation) {
  const std::string block = BlockOf(pair_);
  // Importing one's own key asks; declining keeps the file and still succeeds.
  Bytes marked = ReadAll(pair_.public_path);
  marked.push_back('!');
  test::WriteAll(pair_.public_path, marked);
  ScriptedMessages decline;
  auto kept = ImportPublicKeyBlock(block, home_, decline);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->outcome, PublicKeyImportOutcome::KeptExisting);
  EXPECT_EQ(decline.asked, std::vector<Msg>{Msg::PublicKeyExistsOverwrite});
  EXPECT_EQ(ReadAll(pair_.public_path), marked);

  ScriptedMessages accept;
  accept.answers = {true};
  auto replaced = ImportPublicKeyBlock(block, home_, accept);
  ASSERT_TRUE(replaced);
  EXPECT_EQ(replaced->outcome, PublicKeyImportOutcome::Replaced);
  EXPECT_TRUE(home_.LoadPublicKey(pair_.public_path));
  // The pair stays "My key".
  EXPECT_EQ(home_.List(KeyKind::Mine).size(), 2u);
}

TEST_F(PublicKeyBlocks, MarkersAndLineBreaks) {
  const std::string block = BlockOf(small_);
  struct Case {
    std::string text;
    Msg message;
  };
  const Case cases[] = {
      {"nothing here", Msg::PublicKeyStartNotFound},
      {"the start marker -- Start Of QVX Public Key Part--- inside a line", Msg::PublicKeyStartNotFound},
      {block.substr(2, block.size() - 200), Msg::PublicKeyEndNotFound},
      {block.substr(0, block.size() - 2) + " and more on the end line", Msg::PublicKeyEndNotFound},
  };
  for (const auto& c : cases) {
    ScriptedMessages messages;
    auto imported = ImportPublicKeyBlock(c.text, away_, messages);
    EXPECT_FALSE(imported);
    EXPECT_EQ(test::MessageIds(imported), std::vector<Msg>{c.message});
    EXPECT_EQ(ReadPublicKeyBlock(c.text).error().message(), c.message);
  }
  // The end line is a whole line without its final line break, too (chat
  // windows drop it).
  {
    ScriptedMessages messages;
    EXPECT_TRUE(ImportPublicKeyBlock(block.substr(0, block.size() - 2), away_, messages));
    EXPECT_TRUE(messages.asked.empty());
    std::filesystem::remove_all(away_.PublicFolder());
  }
  // Rewrapped into 64-character lines it still reads.
  const std::size_t body = kPublicKeyStartLine.size();
  const std::string b64 = RemoveLineBreaks(block.substr(body, block.size() - body - kPublicKeyEndLine.size()));
  std::string rewrapped(kPublicKeyStartLine);
  for (std::size_t i = 0; i < b64.size(); i += 64) rewrapped += "\r\n" + b64.substr(i, 64);
  rewrapped += kPublicKeyEndLine;
  ScriptedMessages messages;
  EXPECT_TRUE(ImportPublicKeyBlock(rewrapped, away_, messages));
  EXPECT_EQ(FilesUnder(away_.folder()), 1u);
}

TEST_F(PublicKeyBlocks, DamagedBlocksWriteNothing) {
  const std::string block = BlockOf(small_);
  const std::size_t body = kPublicKeyStartLine.size();
  const std::size_t end = block.size() - kPublicKeyEndLine.size();
  std::vector<std::string> bad = {
      std::string(kPublicKeyStartLine) + "\r\n!!!!" + std::string(kPublicKeyEndLine),
      std::string(kPublicKeyStartLine) + std::string(kPublicKeyEndLine),
      std::string(kPublicKeyStartLine) + WrapBase64Lines(Base64Encode(Bytes(291, 1))) + std::string(kPublicKeyEndLine),
      std::string(kPublicKeyStartLine) + WrapBase64Lines(Base64Encode(Bytes(5000, 0))) + std::string(kPublicKeyEndLine),
      block.substr(0, body) + block.substr(body + 200),
  };
  // Every body character changed, where the change alters the decoded bytes.
  const auto original = Base64Decode(RemoveLineBreaks(block.substr(body, end - body)));
  for (std::size_t i = body; i < end; ++i) {
    if (block[i] == '\r' || block[i] == '\n') continue;
    std::string damaged = block;
    damaged[i] = damaged[i] == 'A' ? 'B' : 'A';
    if (Base64Decode(RemoveLineBreaks(damaged.substr(body, end - body))) == original) continue;
    bad.push_back(damaged);
  }
  for (const auto& text : bad) {
    ScriptedMessages messages;
    auto imported = ImportPublicKeyBlock(text, away_, messages);
    ASSERT_FALSE(imported);
    ASSERT_EQ(test::MessageIds(imported), std::vector<Msg>{Msg::PublicKeyCorrupted});
  }
  EXPECT_EQ(FilesUnder(away_.folder()), 0u);
}

TEST_F(PublicKeyBlocks, OwnersThatCannotBeFileNamesAreRefused) {
  for (const std::string owner : {"../evil", "..\\evil", "a/b", "c:x", "x\ty", ".."}) {
    ScriptedMessages messages;
    auto imported = ImportPublicKeyBlock(CraftedBlock(owner, owner), away_, messages);
    EXPECT_FALSE(imported) << owner;
    EXPECT_EQ(test::MessageIds(imported), std::vector<Msg>{Msg::PublicKeyCorrupted});
  }
  // The id must record the owner the file carries, or the key could not be
  // found again by its id.
  ScriptedMessages messages;
  EXPECT_FALSE(ImportPublicKeyBlock(CraftedBlock("Ivan", "Someone else"), away_, messages));
  EXPECT_EQ(FilesUnder(away_dir_.path()), 0u);
  EXPECT_EQ(FilesUnder(std::filesystem::path(away_dir_.path()).parent_path().string() + "/evil"), 0u);
  ScriptedMessages fine;
  EXPECT_TRUE(ImportPublicKeyBlock(CraftedBlock("Ivan", "Ivan"), away_, fine));
}

// A note is shown in lists, dialogs and on terminals: one with control
// characters (an escape sequence that rewrites what a terminal shows, a line
// break) is refused and nothing is written; tab and 8-bit letters are text.
TEST_F(PublicKeyBlocks, NotesWithControlCharactersAreRefused) {
  struct Case {
    std::string note;
    bool accepted;
  };
  const Case cases[] = {
      {"", true},
      {"work\tkey", true},
      {"Caf\xe9 \x93quoted\x94 \xc2\xa0", true},
      {"\x1b[1A\x1b[2KKey owner: Bank", false},
      {"two\r\nlines", false},
      {"bell\x07", false},
      {"\x01", false},
      {"del\x7f", false},
  };
  for (const Case& c : cases) {
    ScriptedMessages messages;
    auto imported = ImportPublicKeyBlock(CraftedBlock("Ivan", "Ivan", c.note), away_, messages);
    EXPECT_EQ(bool(imported), c.accepted) << c.note;
    if (c.accepted) {
      ASSERT_TRUE(imported);
      EXPECT_EQ(imported->header.note, c.note);
      ASSERT_TRUE(std::filesystem::remove(imported->path));
    } else {
      EXPECT_EQ(test::MessageIds(imported), std::vector<Msg>{Msg::KeyTextHasControls}) << c.note;
      EXPECT_EQ(imported.code(), Errc::Corrupted);
    }
    EXPECT_EQ(FilesUnder(away_dir_.path()), 0u) << c.note;
  }
}

TEST_F(PublicKeyBlocks, FailedWriteShowsCreationError) {
  test::FaultyFileSystem files;
  KeyStore store(away_dir_.path(), files);
  files.FailWrite(10);
  ScriptedMessages messages;
  auto imported = ImportPublicKeyBlock(BlockOf(small_), store, messages);
  EXPECT_EQ(imported.code(), Errc::Io);
  EXPECT_EQ(test::MessageIds(imported), std::vector<Msg>{Msg::PublicKeyCreationError});
  EXPECT_TRUE(store.List().empty());
}

TEST_F(PublicKeyBlocks, MakingABlockNeedsAnIntactKey) {
  auto missing = MakePublicKeyBlockFromFile(home_, home_dir_.File("none.qvx"));
  EXPECT_EQ(test::MessageIds(missing), std::vector<Msg>{Msg::KeyLoadError});
  Bytes file = ReadAll(small_.public_path);
  file[100] ^= 1;
  test::WriteAll(small_.public_path, file);
  auto damaged = MakePublicKeyBlockFromFile(home_, small_.public_path);
  EXPECT_EQ(test::MessageIds(damaged), std::vector<Msg>{Msg::KeyLoadError});
}

TEST_F(PublicKeyBlocks, KeyFileForDisplay) {
  auto mine = ReadKeyFileForDisplay(pair_.private_path, home_);
  ASSERT_TRUE(mine);
  EXPECT_TRUE(mine->mine);
  EXPECT_FALSE(mine->header.IsPublicFile());
  EXPECT_EQ(mine->header.owner, "Gina");

  // Seen from another store, the same file is someone else's key.
  const std::string upper = away_dir_.File("COPY.QVX");
  test::WriteAll(upper, ReadAll(pair_.public_path));
  auto other = ReadKeyFileForDisplay(upper, away_);
  ASSERT_TRUE(other);
  EXPECT_FALSE(other->mine);
  EXPECT_TRUE(other->header.IsPublicFile());

  const std::string wrong_ext = away_dir_.File("key.txt");
  test::WriteAll(wrong_ext, ReadAll(pair_.public_path));
  const std::string short_file = away_dir_.File("short.qvx");
  test::WriteAll(short_file, Bytes(100, 0));
  for (const std::string& path : {wrong_ext, short_file, away_dir_.File("missing.qvx"), away_dir_.File("noext")}) {
    auto info = ReadKeyFileForDisplay(path, away_);
    EXPECT_FALSE(info) << path;
    EXPECT_EQ(test::MessageIds(info), std::vector<Msg>{Msg::KeyLoadError}) << path;
  }
}

}  // namespace
}  // namespace qvx

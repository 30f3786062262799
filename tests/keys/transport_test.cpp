// Key transport files: the entries as written, export and import between two
// stores, wrong and cancelled passwords, the extra zero block, and refusal of
// damaged files and of names that lead out of the key folders.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "engine/checksum.h"
#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "keys/byte_io.h"
#include "keys/transport.h"
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

TransportKeyQuestion Answer(std::string_view password) {
  const Key256 key = PasswordToKey(password);
  return [key]() -> std::optional<Key256> { return key; };
}

std::optional<Key256> NoAnswer() { return std::nullopt; }

class Transport : public testing::Test {
 protected:
  Transport() : home_(home_dir_.path()), away_(away_dir_.path()) {
    pair_ = StorePair(home_, TestKey(1024), "Jo", "home", &protection_);
  }

  Bytes Export(TransportContent content, const test::StoredPair& pair, std::string_view password = "transport") {
    auto file = MakeTransportFile(home_, pair.public_path, content, Answer(password));
    EXPECT_TRUE(file) << file.error().detail;
    return file ? *file : Bytes();
  }

  Result<TransportImport> Import(const Bytes& file, std::string_view password, ScriptedMessages& messages) {
    const std::string path = transfer_dir_.File("keys.qvxt");
    test::WriteAll(path, file);
    auto imported = ImportKeyTransportFile(away_, path, Answer(password), messages);
    if (!imported) ShowFailure(messages, imported.error());  // as the key manager does
    return imported;
  }

  TempDir home_dir_, away_dir_, transfer_dir_;
  KeyStore home_, away_;
  Key256 protection_ = PasswordToKey("own key password");
  test::StoredPair pair_;
};

TEST_F(Transport, PublicOnlyLayoutAndImport) {
  const Bytes pub = ReadAll(pair_.public_path);
  const Bytes file = Export(TransportContent::PublicOnly, pair_);
  ASSERT_EQ(file.size(), kTransportEntrySize + pub.size());
  EXPECT_EQ(GetU32(&file[0]), 1u);
  EXPECT_EQ(GetU32(&file[4]), pub.size());
  EXPECT_EQ(GetU32(&file[8]), DataChecksum(pub.data(), pub.size()));
  const std::string name = "\\" + KeyStore::PublicFileName("Jo", pair_.header.id);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[12])), name);
  for (std::size_t i = 12 + name.size(); i < kTransportEntrySize; ++i) EXPECT_EQ(file[i], 0);
  EXPECT_TRUE(std::equal(pub.begin(), pub.end(), file.begin() + kTransportEntrySize));

  ScriptedMessages messages;
  bool asked = false;
  const std::string path = transfer_dir_.File("pub.qvxt");
  test::WriteAll(path, file);
  auto imported = ImportKeyTransportFile(away_, path, [&]() -> std::optional<Key256> {
    asked = true;
    return std::nullopt;
  }, messages);
  ASSERT_TRUE(imported) << imported.error().detail;
  EXPECT_FALSE(asked);
  EXPECT_TRUE(imported->private_path.empty());
  EXPECT_EQ(ReadAll(imported->public_path), pub);
  EXPECT_EQ(away_.List(KeyKind::Other).size(), 1u);
}

// A transport file whose key carries a note with an escape sequence is
// refused with that reason alone, before anything is written or asked.
TEST_F(Transport, NoteWithControlCharactersIsRefused) {
  const auto crafted = StorePair(home_, TestKey(2048), "Mal", "\x1b]0;owned\x07\x1b[2J", &protection_);
  for (TransportContent content : {TransportContent::PublicOnly, TransportContent::PublicAndPrivate}) {
    const Bytes file = Export(content, crafted);
    ScriptedMessages messages;
    EXPECT_EQ(test::MessageIds(ParseTransportFile(file.data(), file.size())),
              std::vector<Msg>{Msg::KeyTextHasControls});
    auto imported = Import(file, "transport", messages);
    EXPECT_FALSE(imported);
    EXPECT_EQ(messages.ids(), std::vector<Msg>{Msg::KeyTextHasControls});
    EXPECT_EQ(FilesUnder(away_dir_.path()), 0u);
  }
}

TEST_F(Transport, PairRestoresIdenticalFiles) {
  for (unsigned bits : {1024u, 2048u}) {
    const auto pair = bits == 1024 ? pair_ : StorePair(home_, TestKey(2048), "Kim", "", nullptr);
    const Bytes priv = ReadAll(pair.private_path);
    const Bytes file = Export(TransportContent::PublicAndPrivate, pair);
    const std::size_t pub_size = ReadAll(pair.public_path).size();
    ASSERT_EQ(file.size(), 2 * kTransportEntrySize + pub_size + (priv.size() + 32) / 32 * 32);
    EXPECT_EQ(GetU32(&file[0]), 0u);
    const std::size_t second = kTransportEntrySize + pub_size;
    EXPECT_EQ(GetU32(&file[second]), 0u);
    EXPECT_EQ(GetU32(&file[second + 4]), priv.size());
    EXPECT_EQ(GetU32(&file[second + 8]), DataChecksum(priv.data(), priv.size()));
    // The private file is enciphered under SHA-256 of the transport password.
    Bytes run(file.begin() + second + kTransportEntrySize, file.end());
    Rijndael256(PasswordToKey("transport")).DecryptBlocks(run.data(), (priv.size() + 31) / 32 * 32);
    EXPECT_TRUE(std::equal(priv.begin(), priv.end(), run.begin()));

    ScriptedMessages messages;
    auto imported = Import(file, "transport", messages);
    ASSERT_TRUE(imported) << imported.error().detail;
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ReadAll(imported->public_path), ReadAll(pair.public_path));
    EXPECT_EQ(ReadAll(imported->private_path), priv);
  }
  EXPECT_EQ(away_.List(KeyKind::Mine).size(), 2u);
  // The pair keeps its own protection.
  FixedProtectionKey own(protection_);
  EXPECT_TRUE(away_.LoadPrivateKey(*away_.FindPrivateKeyFile(pair_.header.id), own));
  EXPECT_EQ(own.asked(), 1);
}

TEST_F(Transport, WrongOrCancelledPasswordKeepsOnlyThePublicKey) {
  const Bytes file = Export(TransportContent::PublicAndPrivate, pair_);
  ScriptedMessages messages;
  EXPECT_EQ(Import(file, "wrong", messages).code(), Errc::WrongPassword);
  EXPECT_EQ(messages.ids(), std::vector<Msg>{Msg::WrongPasswordOrBadData});
  EXPECT_EQ(away_.List(KeyKind::Other).size(), 1u);
  EXPECT_FALSE(away_.FindPrivateKeyFile(pair_.header.id));

  const std::string path = transfer_dir_.File("c.qvxt");
  test::WriteAll(path, file);
  auto cancelled = ImportKeyTransportFile(away_, path, NoAnswer, messages);
  EXPECT_EQ(cancelled.code(), Errc::Cancelled);
  EXPECT_TRUE(test::MessageIds(cancelled).empty());
  EXPECT_FALSE(away_.FindPrivateKeyFile(pair_.header.id));

  // Cancelling at export writes nothing and has nothing to say.
  const std::string target = transfer_dir_.File("never.qvxt");
  auto stopped = ExportKeyTransportFile(home_, pair_.public_path, TransportContent::PublicAndPrivate, target,
                                        NoAnswer);
  EXPECT_EQ(stopped.code(), Errc::Cancelled);
  EXPECT_FALSE(NativeFileSystem().FileExists(target));
  EXPECT_TRUE(stopped.error().messages.empty());
}

// A private key file whose size is a multiple of 32 (here a 1104-bit key with
// a four-byte exponent) is followed by one unenciphered block of zeros.
TEST_F(Transport, PrivateFileOfWholeBlocksGetsAZeroBlock) {
  auto odd = RsaKey::Generate(1104, 0x01000001);
  ASSERT_TRUE(odd) << odd.error().detail;
  const auto pair = StorePair(home_, *odd, "Lee", "");
  const Bytes priv = ReadAll(pair.private_path);
  ASSERT_EQ(priv.size() % 32, 0u);
  const Bytes file = Export(TransportContent::PublicAndPrivate, pair);
  ASSERT_EQ(file.size(), 2 * kTransportEntrySize + ReadAll(pair.public_path).size() + priv.size() + 32);
  EXPECT_EQ(Bytes(file.end() - 32, file.end()), Bytes(32, 0));
  ScriptedMessages messages;
  auto imported = Import(file, "transport", messages);
  ASSERT_TRUE(imported) << imported.error().detail;
  EXPECT_EQ(ReadAll(imported->private_path), priv);
}

// Every byte flipped: refused, except the meaningless bytes after the names'
// terminators.
TEST_F(Transport, EveryByteChanged) {
  const Bytes file = Export(TransportContent::PublicAndPrivate, pair_);
  const Key256 key = PasswordToKey("transport");
  const std::size_t second = kTransportEntrySize + ReadAll(pair_.public_path).size();
  const std::size_t name_len = KeyStore::PublicFileName("Jo", pair_.header.id).size();
  // File names compare without regard to letter case, as on Windows.
  auto in_name = [&](std::size_t i) {
    return (i >= 13 && i < 13 + name_len) || (i >= second + 13 && i < second + 14 + name_len);
  };
  auto meaningless = [&](std::size_t i) {
    return (i >= 12 + 2 + name_len && i < kTransportEntrySize) ||
           (i >= second + 12 + 3 + name_len && i < second + kTransportEntrySize) ||
           (in_name(i) && std::isalpha(file[i]));
  };
  for (std::size_t i = 0; i < file.size(); ++i) {
    Bytes damaged = file;
    damaged[i] ^= 0x20;
    auto parsed = ParseTransportFile(damaged.data(), damaged.size());
    bool accepted = parsed && DecipherTransportPrivate(*parsed, key);
    ASSERT_EQ(accepted, meaningless(i)) << "byte " << i;
  }
}

TEST_F(Transport, TruncatedExtendedAndForgedFiles) {
  const Bytes pair_file = Export(TransportContent::PublicAndPrivate, pair_);
  const Bytes pub_file = Export(TransportContent::PublicOnly, pair_);
  for (const Bytes* file : {&pair_file, &pub_file}) {
    for (std::size_t size = 0; size < file->size(); ++size) {
      ASSERT_FALSE(ParseTransportFile(file->data(), size)) << size;
    }
    Bytes longer = *file;
    longer.push_back(0);
    EXPECT_FALSE(ParseTransportFile(longer.data(), longer.size()));
  }
  const std::size_t second = kTransportEntrySize + ReadAll(pair_.public_path).size();
  auto forged = [&](std::size_t at, std::uint32_t value) {
    Bytes f = pair_file;
    PutU32(&f[at], value);
    return f;
  };
  for (const Bytes& f : {forged(0, 2), forged(4, 0xFFFFFFFFu), forged(4, 0x7FFFFFFF), forged(second, 1),
                         forged(second + 4, 0xFFFFFFF0u), forged(second + 4, 0)}) {
    EXPECT_FALSE(ParseTransportFile(f.data(), f.size()));
  }
}

// Private entry sizes that wrap a 32-bit size_t in the stored run's length
// ((size + 32) rounded down to 32 is 0 for 0xFFFFFFE0 and up), sizes far
// beyond what the file holds, and sizes just over the cap for key files, each
// with the file ending after the entry, with one block after it, and with as
// many bytes as the size claims where that fits in memory. None is accepted,
// and an import of it writes nothing, not even the public key.
TEST_F(Transport, PrivateSizesThatWrapOrExceedTheCapAreRefused) {
  const Bytes file = Export(TransportContent::PublicAndPrivate, pair_);
  const std::size_t second = kTransportEntrySize + ReadAll(pair_.public_path).size();
  const Bytes head(file.begin(),
                   file.begin() + static_cast<std::ptrdiff_t>(second + kTransportEntrySize));
  const std::uint32_t cap = static_cast<std::uint32_t>(kMaxTransportKeyFileSize);
  for (std::uint32_t size : {0xFFFFFFE0u, 0xFFFFFFE1u, 0xFFFFFFF0u, 0xFFFFFFFFu, 0x7FFFFFFFu,
                             0x80000000u, 0xFFFFFFC0u, cap + 1, cap + 32, cap * 2}) {
    std::vector<std::size_t> tails = {0, 32};
    if (size <= 2 * cap) tails.push_back((std::uint64_t{size} + 32) / 32 * 32);
    for (std::size_t tail : tails) {
      SCOPED_TRACE(testing::Message() << "size " << std::hex << size << ", " << std::dec << tail
                                      << " bytes after the entry");
      Bytes f = head;
      PutU32(&f[second + 4], size);
      f.resize(f.size() + tail, 0x5A);
      auto parsed = ParseTransportFile(f.data(), f.size());
      ASSERT_FALSE(parsed);
      EXPECT_EQ(parsed.code(), Errc::Corrupted);
      ScriptedMessages messages;
      EXPECT_EQ(Import(f, "transport", messages).code(), Errc::Corrupted);
      EXPECT_EQ(messages.ids(), std::vector<Msg>{Msg::TransportCorrupted});
      EXPECT_EQ(FilesUnder(away_dir_.path()), 0u);
    }
  }
}

// A TransportFile put together by a caller (not by ParseTransportFile) whose
// private size does not match its run is refused before any deciphering.
TEST_F(Transport, DecipherRefusesARunThatDoesNotMatchItsSize) {
  const Bytes file = Export(TransportContent::PublicAndPrivate, pair_);
  auto parsed = ParseTransportFile(file.data(), file.size());
  ASSERT_TRUE(parsed);
  const Key256 key = PasswordToKey("transport");
  ASSERT_TRUE(DecipherTransportPrivate(*parsed, key));
  for (std::uint32_t size : {0u, 0xFFFFFFE0u, 0xFFFFFFFFu, parsed->private_size + 32,
                             static_cast<std::uint32_t>(kMaxTransportKeyFileSize) + 1}) {
    TransportFile forged = *parsed;
    forged.private_size = size;
    EXPECT_EQ(DecipherTransportPrivate(forged, key).code(), Errc::Corrupted) << std::hex << size;
  }
  TransportFile cut = *parsed;
  cut.private_run.resize(cut.private_run.size() - 32);
  EXPECT_EQ(DecipherTransportPrivate(cut, key).code(), Errc::Corrupted);
}

TEST_F(Transport, NamesThatLeaveTheKeyFoldersAreRefused) {
  const Bytes file = Export(TransportContent::PublicAndPrivate, pair_);
  const std::size_t second = kTransportEntrySize + ReadAll(pair_.public_path).size();
  const std::string canonical = KeyStore::PublicFileName("Jo", pair_.header.id);
  for (const std::string& name : {"\\..\\" + canonical, "\\sub\\" + canonical, "\\/" + canonical,
                                  std::string("\\.."), std::string("\\"), canonical,
                                  "\\" + KeyStore::PublicFileName("Other", pair_.header.id)}) {
    for (std::size_t entry : {std::size_t{0}, second}) {
      Bytes f = file;
      std::fill(f.begin() + entry + 12, f.begin() + entry + kTransportEntrySize, 0);
      std::copy(name.begin(), name.end(), f.begin() + entry + 12);
      ScriptedMessages messages;
      EXPECT_EQ(Import(f, "transport", messages).code(), Errc::Corrupted) << name;
      EXPECT_EQ(messages.ids(), std::vector<Msg>{Msg::TransportCorrupted});
    }
  }
  // A name without its terminator.
  Bytes f = file;
  std::fill(f.begin() + 12, f.begin() + kTransportEntrySize, 'a');
  EXPECT_FALSE(ParseTransportFile(f.data(), f.size()));
  EXPECT_EQ(FilesUnder(away_dir_.path()), 0u);
  EXPECT_EQ(FilesUnder(transfer_dir_.path()), 1u);
}

TEST_F(Transport, ExportNeedsIntactMatchingKeyFiles) {
  const auto other = StorePair(home_, TestKey(1024, 1), "Max", "");
  // The private file of another key under this key's private name.
  test::WriteAll(pair_.private_path, ReadAll(other.private_path));
  const std::string target = transfer_dir_.File("x.qvxt");
  const Status mismatched = ExportKeyTransportFile(home_, pair_.public_path, TransportContent::PublicAndPrivate,
                                                   target, Answer("t"));
  const Status missing = ExportKeyTransportFile(home_, home_dir_.File("none.qvx"), TransportContent::PublicOnly,
                                                target, Answer("t"));
  EXPECT_EQ(test::MessageIds(mismatched), std::vector<Msg>{Msg::KeyLoadError});
  EXPECT_EQ(test::MessageIds(missing), std::vector<Msg>{Msg::KeyLoadError});
  EXPECT_FALSE(NativeFileSystem().FileExists(target));
  // Public only still works: the public file is intact.
  EXPECT_TRUE(ExportKeyTransportFile(home_, pair_.public_path, TransportContent::PublicOnly, target, Answer("t")));
}

TEST_F(Transport, FailedWritesLeaveWholeFilesOnly) {
  const Bytes file = Export(TransportContent::PublicAndPrivate, pair_);
  const std::string path = transfer_dir_.File("w.qvxt");
  test::WriteAll(path, file);
  for (int skip : {0, 1}) {
    TempDir dir;
    test::FaultyFileSystem files;
    KeyStore store(dir.path(), files);
    files.FailWrite(50, skip);
    SilentMessages silent;
    auto imported = ImportKeyTransportFile(store, path, Answer("transport"), silent);
    EXPECT_EQ(imported.code(), Errc::Io);
    EXPECT_EQ(test::MessageIds(imported), std::vector<Msg>{Msg::PublicKeyCreationError});
    // Whatever was written is whole: the public key when the private write failed.
    EXPECT_EQ(store.List().size(), skip == 1 ? 1u : 0u);
    for (const auto& entry : store.List()) EXPECT_TRUE(store.LoadPublicKey(entry.public_path));
    EXPECT_FALSE(store.FindPrivateKeyFile(pair_.header.id));
  }
}

// The transport file itself failing: an export that cannot be written and an
// import that cannot be read each say so, naming the file and the reason.
TEST_F(Transport, UnwritableExportAndUnreadableImportSaySo) {
  test::FaultyFileSystem files;
  KeyStore home(home_.folder(), files);
  const std::string target = transfer_dir_.File("out.qvxt");
  files.FailWrite(10);
  const Status exported = ExportKeyTransportFile(home, pair_.public_path, TransportContent::PublicOnly, target,
                                                 Answer("t"));
  ASSERT_FALSE(exported);
  ASSERT_EQ(exported.error().messages.size(), 1u);
  const Notice& written = exported.error().messages[0];
  EXPECT_EQ(written.id, Msg::TransportWriteFailed);
  EXPECT_EQ(written.kind, BoxKind::Error);
  EXPECT_EQ(written.arg.rfind(target + "\n", 0), 0u) << written.arg;
  EXPECT_GT(written.arg.size(), target.size() + 1) << "the reason is missing";
  EXPECT_FALSE(NativeFileSystem().FileExists(target));

  const std::string source = transfer_dir_.File("absent.qvxt");
  SilentMessages silent;
  auto imported = ImportKeyTransportFile(away_, source, Answer("transport"), silent);
  ASSERT_FALSE(imported);
  EXPECT_EQ(imported.code(), Errc::NotFound);
  ASSERT_EQ(imported.error().messages.size(), 1u);
  const Notice& read = imported.error().messages[0];
  EXPECT_EQ(read.id, Msg::TransportReadFailed);
  EXPECT_EQ(read.kind, BoxKind::Error);
  EXPECT_EQ(read.arg.rfind(source + "\n", 0), 0u) << read.arg;
  // The system's own words for the reason ("No such file or directory" here,
  // "File not found" on Windows) follow the path.
  EXPECT_GT(read.arg.size(), source.size() + 1) << "the reason is missing";
  EXPECT_EQ(FilesUnder(away_dir_.path()), 0u);
}

}  // namespace
}  // namespace qvx

// A key is its public numbers, not its KeyId: fingerprints, and the refusal
// or warning before a stored key is replaced by a different key carrying the
// same id, over every import path (transport file, public key block, a key
// file opened by path). The crafted files are what an attacker who knows a
// KeyId (every block shows it) can make: the victim's id and owner, their own
// modulus, validly sealed.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "engine/cryptotext.h"
#include "engine/password_key.h"
#include "keys/key_identity.h"
#include "keys/key_store_envelopes.h"
#include "keys/public_key_block.h"
#include "keys/signature.h"
#include "keys/transport.h"
#include "tests/keys/test_keys.h"
#include "tests/support/scripted_passwords.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::ReadAll;
using test::ScriptedMessages;
using test::StorePair;
using test::TempDir;
using test::TestKey;

TEST(Fingerprint, KnownAnswerAndLayout) {
  // SHA-256 of 00000040 || n || 00000003 || 010001, computed independently.
  RsaPublicNumbers numbers;
  numbers.n = test::FromHex(
      "c10102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"
      "202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f");
  numbers.e = {1, 0, 1};
  const KeyFingerprint fingerprint = FingerprintOf(numbers);
  EXPECT_EQ(FormatFingerprint(fingerprint),
            "DEF6 7E43 86BC 6B51 AE9B 4D5F 9354 4B0D 5082 DAFA 1FCA DFEC 17CE 83E1 E2B0 DE2D");
  EXPECT_EQ(FormatFingerprint(fingerprint, 8),
            "DEF6 7E43 86BC 6B51 AE9B 4D5F 9354 4B0D\n5082 DAFA 1FCA DFEC 17CE 83E1 E2B0 DE2D");

  // The length prefixes keep n and e apart: moving a byte from n to e changes it.
  RsaPublicNumbers shifted = numbers;
  shifted.e.insert(shifted.e.begin(), shifted.n.back());
  shifted.n.pop_back();
  EXPECT_NE(FingerprintOf(shifted), fingerprint);
}

TEST(Fingerprint, OfKeysAndKeyFiles) {
  TempDir dir;
  KeyStore store(dir.path());
  const auto pair = StorePair(store, TestKey(1024), "Jo");
  const auto of_key = FingerprintOf(TestKey(1024));
  ASSERT_TRUE(of_key);
  // Both files of a pair show the key's fingerprint; another key another one.
  EXPECT_EQ(FingerprintOfKeyFile(store, pair.public_path), *of_key);
  EXPECT_EQ(FingerprintOfKeyFile(store, pair.private_path), *of_key);
  EXPECT_NE(*FingerprintOf(TestKey(1024, 1)), *of_key);
  // A damaged file has none.
  Bytes damaged = ReadAll(pair.public_path);
  damaged[damaged.size() - 1] ^= 1;
  test::FixKeyFileChecksum(damaged);
  EXPECT_FALSE(FingerprintOfKeyFile(damaged));
  EXPECT_FALSE(FingerprintOfKeyFile(store, dir.File("absent.qvx")));
  auto info = ReadKeyFileForDisplay(pair.public_path, store);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->fingerprint, *of_key);
}

// A store with one of the user's own pairs (Jo) and another person's public
// key (Bob), and Mallory's forgeries of both: the same headers (id, owner,
// note) over Mallory's key, sealed with it.
class Substitution : public testing::Test {
 protected:
  Substitution() : store_(home_.path()), forge_(forge_dir_.path()) {
    mine_ = StorePair(store_, TestKey(1024, 0), "Jo", "mine", &protection_);
    TempDir bob_home;
    KeyStore bob_store(bob_home.path());
    const auto bob = StorePair(bob_store, TestKey(2048, 0), "Bob", "bob's");
    other_path_ = store_.PublicPath("Bob", bob.header.id);
    test::WriteAll(other_path_, ReadAll(bob.public_path));
    other_header_ = bob.header;
    other_file_ = ReadAll(other_path_);
    Snapshot();
  }

  // Mallory's files for a header, written into the forge store.
  struct Forged {
    std::string public_path;
    std::string private_path;
  };
  Forged Forge(const KeyFileHeader& header, const RsaKey& key) {
    Forged out{forge_.PublicPath(header.owner, header.id), forge_.PrivatePath(header.owner, header.id)};
    EXPECT_TRUE(forge_.SavePublicKeyFile(out.public_path, header, key));
    EXPECT_TRUE(forge_.SavePrivateKeyFile(out.private_path, header, key, nullptr));
    return out;
  }

  Bytes TransportOf(const Forged& forged, TransportContent content) {
    auto file = MakeTransportFile(forge_, forged.public_path, content,
                                  [] { return std::optional<Key256>(PasswordToKey("mallory")); });
    EXPECT_TRUE(file) << file.error().detail;
    return file ? *file : Bytes();
  }

  void Snapshot() {
    before_.clear();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home_.path())) {
      if (entry.is_regular_file()) before_[entry.path().string()] = ReadAll(entry.path().string());
    }
  }
  // Every file of the store as it was at the last snapshot, and no other.
  void ExpectStoreUnchanged() {
    std::map<std::string, Bytes> now;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home_.path())) {
      if (entry.is_regular_file()) now[entry.path().string()] = ReadAll(entry.path().string());
    }
    EXPECT_TRUE(now == before_) << "the store changed";
  }

  TempDir home_, forge_dir_, transfer_;
  KeyStore store_, forge_;
  Key256 protection_ = PasswordToKey("jo's key password");
  test::StoredPair mine_;
  std::string other_path_;
  KeyFileHeader other_header_;
  Bytes other_file_;
  std::map<std::string, Bytes> before_;
};

enum class Path { TransportPublic, TransportPair, KeyBlock, KeyFileByPath };
enum class Target { Mine, Other };

const char* Name(Path path) {
  switch (path) {
    case Path::TransportPublic: return "transport (public)";
    case Path::TransportPair: return "transport (pair)";
    case Path::KeyBlock: return "public key block";
    case Path::KeyFileByPath: return "key file by path";
  }
  return "?";
}

struct ImportOutcome {
  bool ok = false;
  Errc code = Errc::Io;
  std::vector<Msg> messages;
  std::optional<PublicKeyImportOutcome> block_outcome;
};

TEST_F(Substitution, DifferentKeyUnderAStoredIdIsRefusedOrAskedFor) {
  struct Case {
    Path path;
    Target target;
    bool answer;            // to the warning, when it is asked
    bool replaced;          // the stored public file is Mallory's afterwards
    std::optional<Msg> error;  // the failure's message (nothing written)
  };
  const Case cases[] = {
      // Over one of my pairs: refused whatever would be answered; nothing asked.
      {Path::TransportPublic, Target::Mine, true, false, Msg::KeyReplacesMine},
      {Path::TransportPair, Target::Mine, true, false, Msg::KeyReplacesMine},
      {Path::KeyBlock, Target::Mine, true, false, Msg::KeyReplacesMine},
      {Path::KeyFileByPath, Target::Mine, true, false, Msg::KeyReplacesMine},
      // Over another person's key: the warning decides, No keeps the stored key.
      {Path::TransportPublic, Target::Other, false, false, std::nullopt},
      {Path::TransportPair, Target::Other, false, false, std::nullopt},
      {Path::KeyBlock, Target::Other, false, false, std::nullopt},
      {Path::KeyFileByPath, Target::Other, false, false, std::nullopt},
      {Path::TransportPublic, Target::Other, true, true, std::nullopt},
      {Path::TransportPair, Target::Other, true, true, std::nullopt},
      {Path::KeyBlock, Target::Other, true, true, std::nullopt},
      {Path::KeyFileByPath, Target::Other, true, true, std::nullopt},
  };
  const KeyFileHeader mine_header = *store_.ReadHeader(mine_.public_path);
  const KeyFileHeader other_header = *store_.ReadHeader(other_path_);
  const std::string stored_mine = FormatFingerprint(*FingerprintOf(TestKey(1024, 0)));
  const std::string stored_other = FormatFingerprint(*FingerprintOf(TestKey(2048, 0)), 8);
  const std::string mallory = FormatFingerprint(*FingerprintOf(TestKey(1024, 1)), 8);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(Name(c.path)) + (c.target == Target::Mine ? " over mine" : " over other") +
                 (c.answer ? ", yes" : ", no"));
    const bool over_mine = c.target == Target::Mine;
    const Forged forged = Forge(over_mine ? mine_header : other_header, TestKey(1024, 1));
    const std::string target_public = over_mine ? mine_.public_path : other_path_;
    ScriptedMessages messages;
    messages.default_answer = c.answer;
    ImportOutcome outcome;
    if (c.path == Path::TransportPublic || c.path == Path::TransportPair) {
      const std::string file = transfer_.File("forged.qvxt");
      test::WriteAll(file, TransportOf(forged, c.path == Path::TransportPair ? TransportContent::PublicAndPrivate
                                                                             : TransportContent::PublicOnly));
      auto imported = ImportKeyTransportFile(store_, file, [] { return std::optional<Key256>(PasswordToKey("mallory")); },
                                             messages);
      outcome.ok = imported.ok();
      if (!imported) outcome.code = imported.code(), outcome.messages = test::MessageIds(imported);
    } else {
      // The key-file argument offers the file through a block of its bytes.
      const Bytes forged_file = ReadAll(forged.public_path);
      const std::string text = "Here is my key:" + MakePublicKeyBlock(forged_file.data(), forged_file.size());
      if (c.path == Path::KeyFileByPath) {
        auto info = ReadKeyFileForDisplay(forged.public_path, store_);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->mine, over_mine);
        EXPECT_EQ(FormatFingerprint(*info->fingerprint, 8), mallory);
      }
      auto imported = ImportPublicKeyBlock(text, store_, messages);
      outcome.ok = imported.ok();
      if (imported) {
        outcome.block_outcome = imported->outcome;
      } else {
        outcome.code = imported.code();
        outcome.messages = test::MessageIds(imported);
      }
    }
    if (c.error) {
      EXPECT_FALSE(outcome.ok);
      EXPECT_EQ(outcome.code, Errc::AlreadyExists);
      EXPECT_EQ(outcome.messages, std::vector<Msg>{*c.error});
      EXPECT_TRUE(messages.asked.empty());
      ExpectStoreUnchanged();
      continue;
    }
    // Over another person's key: exactly one question, the warning, with the
    // stored fingerprint first and Mallory's second.
    ASSERT_EQ(messages.asked, std::vector<Msg>{Msg::KeyReplacesOtherQuestion});
    ASSERT_EQ(messages.warning_args.size(), 1u);
    EXPECT_EQ(messages.warning_args[0], stored_other + "\n\n" + mallory);
    if (!c.replaced) {
      if (outcome.block_outcome) {
        EXPECT_EQ(*outcome.block_outcome, PublicKeyImportOutcome::KeptExisting);
      } else {
        EXPECT_EQ(outcome.code, Errc::Cancelled);
        EXPECT_TRUE(outcome.messages.empty());
      }
      ExpectStoreUnchanged();
      continue;
    }
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(ReadAll(target_public), ReadAll(forged.public_path));
    // Put Bob's key back for the next case.
    std::filesystem::remove(store_.PrivatePath("Bob", other_header.id));
    test::WriteAll(target_public, other_file_);
    ExpectStoreUnchanged();
  }
  // My key is still mine and still opens.
  FixedProtectionKey password(protection_);
  EXPECT_TRUE(store_.LoadPrivateKey(mine_.private_path, password));
  EXPECT_EQ(FormatFingerprint(*FingerprintOfKeyFile(store_, mine_.public_path)), stored_mine);
}

TEST_F(Substitution, TheSameKeyImportsAgainAsBefore) {
  // Re-importing my own transport file (say, to restore a lost public file)
  // and another person's key again: no warning; the public key block keeps
  // its question before overwriting a file.
  const Bytes mine_transport = *MakeTransportFile(store_, mine_.public_path, TransportContent::PublicAndPrivate,
                                                  [] { return std::optional<Key256>(PasswordToKey("t")); });
  const Bytes mine_public = ReadAll(mine_.public_path);
  const Bytes mine_private = ReadAll(mine_.private_path);
  std::filesystem::remove(mine_.public_path);
  const std::string file = transfer_.File("mine.qvxt");
  test::WriteAll(file, mine_transport);
  ScriptedMessages messages;
  auto imported =
      ImportKeyTransportFile(store_, file, [] { return std::optional<Key256>(PasswordToKey("t")); }, messages);
  ASSERT_TRUE(imported) << imported.error().detail;
  EXPECT_TRUE(messages.asked.empty());
  EXPECT_EQ(ReadAll(mine_.public_path), mine_public);
  EXPECT_EQ(ReadAll(mine_.private_path), mine_private);

  const Bytes other = ReadAll(other_path_);
  const std::string text = MakePublicKeyBlock(other.data(), other.size());
  for (bool answer : {false, true}) {
    ScriptedMessages ask;
    ask.default_answer = answer;
    auto again = ImportPublicKeyBlock(text, store_, ask);
    ASSERT_TRUE(again);
    EXPECT_EQ(ask.asked, std::vector<Msg>{Msg::PublicKeyExistsOverwrite});
    EXPECT_EQ(again->outcome, answer ? PublicKeyImportOutcome::Replaced : PublicKeyImportOutcome::KeptExisting);
    EXPECT_EQ(ReadAll(other_path_), other);
  }
}

TEST_F(Substitution, ADamagedPrivateFileIsNeverOverwrittenOnAGuess) {
  Bytes damaged = ReadAll(mine_.private_path);
  damaged[300] ^= 0x40;  // inside n: the file no longer checks
  test::WriteAll(mine_.private_path, damaged);
  Snapshot();
  const KeyFileHeader header = *store_.ReadHeader(mine_.public_path);
  const Forged forged = Forge(header, TestKey(1024, 1));
  const std::string file = transfer_.File("forged.qvxt");
  test::WriteAll(file, TransportOf(forged, TransportContent::PublicAndPrivate));
  ScriptedMessages messages;
  messages.default_answer = true;
  auto imported =
      ImportKeyTransportFile(store_, file, [] { return std::optional<Key256>(PasswordToKey("mallory")); }, messages);
  EXPECT_EQ(imported.code(), Errc::AlreadyExists);
  ExpectStoreUnchanged();
}

// File names that differ only in letter case name one file, as on Windows.
class CaseBlindFiles final : public FileSystem {
 public:
  Result<Bytes> ReadFile(const std::string& path) override { return inner_.ReadFile(Find(path)); }
  Status WriteFileAtomic(const std::string& path, const std::uint8_t* data, std::size_t size) override {
    return inner_.WriteFileAtomic(Find(path), data, size);
  }
  Status CreateFileExclusive(const std::string& path, const std::uint8_t* data, std::size_t size) override {
    return inner_.CreateFileExclusive(Find(path), data, size);
  }
  Result<std::unique_ptr<FileLock>> LockExclusive(const std::string& lock_path,
                                                  std::chrono::milliseconds wait) override {
    return inner_.LockExclusive(Find(lock_path), wait);
  }
  Result<std::vector<std::string>> ListFiles(const std::string& folder) override { return inner_.ListFiles(folder); }
  bool FileExists(const std::string& path) override { return inner_.FileExists(Find(path)); }
  bool FolderExists(const std::string& path) override { return inner_.FolderExists(path); }
  Status CreateFolder(const std::string& path) override { return inner_.CreateFolder(path); }
  Status RemoveFile(const std::string& path) override { return inner_.RemoveFile(Find(path)); }

 private:
  static std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }
  // The existing file whose name matches apart from case, else the path.
  std::string Find(const std::string& path) {
    const std::filesystem::path p(path);
    auto names = inner_.ListFiles(p.parent_path().string());
    if (names) {
      for (const std::string& name : *names) {
        if (Lower(name) == Lower(p.filename().string())) return (p.parent_path() / name).string();
      }
    }
    return path;
  }
  FileSystem& inner_ = NativeFileSystem();
};

TEST(SubstitutionByCase, KeyFilesTheIdLookupMissesAreNotOverwritten) {
  // My pair "jo"; the transport carries the same id bytes for owner "Jo", so
  // its KeyId differs and the lookup by id finds nothing, but on a file
  // system that ignores case its private file name is my private file's.
  TempDir home, forge_dir, transfer;
  CaseBlindFiles files;
  KeyStore store(home.path(), files);
  const auto mine = StorePair(store, TestKey(1024, 0), "jo");
  KeyFileHeader forged_header = mine.header;
  forged_header.owner = "Jo";
  forged_header.id = KeyId::Make(mine.header.id.Id(), "Jo");
  KeyStore forge(forge_dir.path());
  ASSERT_TRUE(forge.CreateFolders());
  const std::string forged_public = forge.PublicPath("Jo", forged_header.id);
  ASSERT_TRUE(forge.SavePublicKeyFile(forged_public, forged_header, TestKey(1024, 1)));
  ASSERT_TRUE(forge.SavePrivateKeyFile(forge.PrivatePath("Jo", forged_header.id), forged_header, TestKey(1024, 1),
                                       nullptr));
  const auto ask = [] { return std::optional<Key256>(PasswordToKey("t")); };
  auto transport = MakeTransportFile(forge, forged_public, TransportContent::PublicAndPrivate, ask);
  ASSERT_TRUE(transport);
  const std::string file = transfer.File("forged.qvxt");
  test::WriteAll(file, *transport);
  const Bytes public_before = ReadAll(mine.public_path), private_before = ReadAll(mine.private_path);

  ScriptedMessages messages;
  messages.default_answer = true;
  auto imported = ImportKeyTransportFile(store, file, ask, messages);
  EXPECT_EQ(imported.code(), Errc::AlreadyExists);
  EXPECT_EQ(test::MessageIds(imported), std::vector<Msg>{Msg::KeyReplacesMine});
  // The same key as a public key block.
  const Bytes forged_file = ReadAll(forged_public);
  auto read = ImportPublicKeyBlock(MakePublicKeyBlock(forged_file.data(), forged_file.size()), store, messages);
  EXPECT_EQ(read.code(), Errc::AlreadyExists);
  EXPECT_TRUE(messages.asked.empty());
  EXPECT_EQ(ReadAll(mine.public_path), public_before);
  EXPECT_EQ(ReadAll(mine.private_path), private_before);
}

TEST_F(Substitution, MyPublicKeyBlockNeedsThePublicFileOfMyPrivateKey) {
  auto good = MakeMyPublicKeyBlock(store_, mine_.private_path);
  ASSERT_TRUE(good) << good.error().detail;
  auto block = ReadPublicKeyBlock(*good);
  ASSERT_TRUE(block);
  EXPECT_EQ(block->file, ReadAll(mine_.public_path));

  // Mallory's key in my public file (as a substitution before the import
  // checks would have left it) is not handed out as mine; nor another
  // person's public file under my name.
  const Forged forged = Forge(*store_.ReadHeader(mine_.public_path), TestKey(1024, 1));
  for (const Bytes& replacement : {ReadAll(forged.public_path), other_file_}) {
    test::WriteAll(mine_.public_path, replacement);
    auto refused = MakeMyPublicKeyBlock(store_, mine_.private_path);
    EXPECT_EQ(refused.code(), Errc::Corrupted);
    EXPECT_EQ(test::MessageIds(refused), std::vector<Msg>{Msg::MyPublicKeyMismatch});
  }
}

TEST(ShortKeys, EncryptingToAndVerifyingWithAKeyUnder2048BitsWarns) {
  TempDir dir;
  KeyStore store(dir.path());
  struct Case {
    unsigned bits;
    bool warned;
  };
  for (const Case c : {Case{1024, true}, Case{2048, false}}) {
    SCOPED_TRACE(c.bits);
    const auto pair = StorePair(store, TestKey(c.bits), "Olga" + std::to_string(c.bits));
    const std::vector<Notice> encrypt_warning = {
        Notice{Msg::ShortKeyEncryptWarning, BoxKind::Warning, pair.header.owner}};
    const std::vector<Notice> verify_warning = {
        Notice{Msg::ShortKeyVerifyWarning, BoxKind::Warning, pair.header.owner}};

    // Two blocks to the same key in one run: one warning.
    auto prompt = test::ScriptedPasswords::Always("unused");
    FixedProtectionKey keys;
    KeyStoreEnvelopes rsa(store, [&] { return std::optional(pair.public_path); }, keys);
    CryptoTextOperation op(prompt, nullptr, &rsa);
    ASSERT_TRUE(op.EncryptText("first", EnvelopeMode::Rsa));
    ASSERT_TRUE(op.EncryptText("second", EnvelopeMode::Rsa));
    EXPECT_EQ(rsa.notices(), c.warned ? encrypt_warning : std::vector<Notice>{});

    auto signed_text = SignText("signed", store, pair.private_path, keys);
    ASSERT_TRUE(signed_text);
    auto verified = VerifySignedText(*signed_text, store);
    ASSERT_TRUE(verified);
    EXPECT_EQ(verified->notices, c.warned ? verify_warning : std::vector<Notice>{});
  }
}

// The crafted files go into the fuzz corpora when QVX_WRITE_CORPUS names the
// corpus folder (fuzz/corpus); otherwise this only checks they can be made.
TEST_F(Substitution, CraftedFilesForTheFuzzCorpora) {
  const Forged over_mine = Forge(*store_.ReadHeader(mine_.public_path), TestKey(1024, 1));
  const Bytes pair = TransportOf(over_mine, TransportContent::PublicAndPrivate);
  const Bytes public_only = TransportOf(over_mine, TransportContent::PublicOnly);
  const Bytes forged_public = ReadAll(over_mine.public_path);
  const std::string block = "text\r\n" + MakePublicKeyBlock(forged_public.data(), forged_public.size());
  ASSERT_FALSE(pair.empty());
  ASSERT_FALSE(public_only.empty());
  const char* corpus = std::getenv("QVX_WRITE_CORPUS");
  if (corpus == nullptr) return;
  const std::string root(corpus);
  test::WriteAll(root + "/transport_fuzzer/substituted-key-pair.qvxt", pair);
  test::WriteAll(root + "/transport_fuzzer/substituted-key-public.qvxt", public_only);
  test::WriteAll(root + "/public_key_block_fuzzer/substituted-key-block.txt", Bytes(block.begin(), block.end()));
  test::WriteAll(root + "/key_file_fuzzer/substituted-public.qvx", forged_public);
}

}  // namespace
}  // namespace qvx

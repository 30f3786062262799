// The key store: a folder holding "public" and "privat". A key pair is the
// public file "public/<owner>-pub{id}.qvx" and the private file
// "privat/<owner>-priv{id}.qvx"; a key whose private file exists is "My key",
// one with only the public file "Other key". The folders are the whole store:
// nothing is indexed or cached, every operation reads the files again.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keys/key_file.h"
#include "keys/key_id.h"
#include "keys/protection.h"
#include "keys/rsa_key.h"
#include "platform/files.h"
#include "platform/result.h"

namespace qvx {

enum class KeyKind { Mine, Other };

struct KeyEntry {
  KeyKind kind = KeyKind::Other;
  KeyFileHeader header;  // the public file's
  std::string public_path;
  std::string private_path;  // where the private file is (Mine) or would be
};

struct LoadedKey {
  KeyFileHeader header;
  RsaKey key;
  std::string path;
};

struct NewKeyNames {
  KeyId id;
  std::string public_path;
  std::string private_path;
};

class KeyStore {
 public:
  static constexpr std::string_view kPublicFolder = "public";
  static constexpr std::string_view kPrivateFolder = "privat";

  explicit KeyStore(std::string folder, FileSystem& files = NativeFileSystem());

  const std::string& folder() const { return folder_; }
  FileSystem& files() const { return files_; }
  std::string PublicFolder() const;
  std::string PrivateFolder() const;

  // "<owner>-pub{id}.qvx" and "<owner>-priv{id}.qvx" and their paths.
  static std::string PublicFileName(std::string_view owner, const KeyId& id);
  static std::string PrivateFileName(std::string_view owner, const KeyId& id);
  std::string PublicPath(std::string_view owner, const KeyId& id) const;
  std::string PrivatePath(std::string_view owner, const KeyId& id) const;

  // The other file of a pair, from the file name of one of them; nullopt when
  // the name does not have the key file form.
  std::optional<std::string> PublicPathToPrivatePath(std::string_view public_path) const;
  std::optional<std::string> PrivatePathToPublicPath(std::string_view private_path) const;

  Status CreateFolders() const;

  // Creates both folders and draws random id bytes until neither file name
  // is taken.
  Result<NewKeyNames> MakeKeyFileNames(std::string_view owner) const;

  // Every key of the public folder, in directory order; files whose header
  // cannot be read are skipped. An absent folder lists nothing.
  std::vector<KeyEntry> List() const;
  std::vector<KeyEntry> List(KeyKind kind) const;

  // The key file with this id: its name carries the id's text, and its owner
  // part has the length and digest recorded in the id. First match wins.
  std::optional<std::string> FindPublicKeyFile(const KeyId& id) const;
  std::optional<std::string> FindPrivateKeyFile(const KeyId& id) const;

  // A key file's header, with no other check (NotFound, Io, Corrupted when the
  // file is too short).
  Result<KeyFileHeader> ReadHeader(const std::string& path) const;

  // Full checks; Corrupted for any damage.
  Result<LoadedKey> LoadPublicKey(const std::string& path) const;
  // Asks `keys` for the protection key when the file is protected. Cancelled
  // when it gives none, WrongPassword when the key does not decipher it.
  // Corrupted, besides damage, when the header's key is not the one the file
  // name gives (checked before any question), or when the private numbers do
  // not belong to the public key (RsaKey::CheckPrivateNumbers).
  Result<LoadedKey> LoadPrivateKey(const std::string& path, ProtectionKeySource& keys) const;
  // The same, and Corrupted unless the file holds exactly the key `expected`
  // (the KeyId an envelope or signature names).
  Result<LoadedKey> LoadPrivateKey(const std::string& path, ProtectionKeySource& keys,
                                   const KeyId& expected) const;

  // Write whole files atomically.
  Status SavePublicKeyFile(const std::string& path, const KeyFileHeader& header,
                           const RsaKey& pair) const;
  Status SavePrivateKeyFile(const std::string& path, const KeyFileHeader& header,
                            const RsaKey& pair, const Key256* protection) const;

  // Removes a key: both files of a "My key", the public file of an "Other key".
  Status Delete(const KeyEntry& entry) const;

  // Replaces the note in both files of one of the user's own keys, keeping id,
  // owner, time, length, flags and protection; both files are sealed again.
  // Nothing changes unless the private key loads.
  Status EditNote(const std::string& private_path, std::string_view note,
                  ProtectionKeySource& keys) const;

 private:
  std::optional<std::string> FindKeyFile(const std::string& folder, std::string_view suffix,
                                         const KeyId& id) const;
  Result<LoadedKey> LoadPrivateKeyChecked(const std::string& path, ProtectionKeySource& keys,
                                          const KeyId* expected) const;

  std::string folder_;
  FileSystem& files_;
};

}  // namespace qvx

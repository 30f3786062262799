// Key-password associations ("associations.qvxc" in the storage folder): a
// plain array of 212-byte records linking a key pair's 52-byte KeyId to the
// check value SHA-256(SHA-256(password)) of the stored password that protects
// its private key, and to the account whose storage holds that password.
// Nothing in the file is enciphered. The first record for a KeyId counts.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sha256.h"
#include "platform/files.h"
#include "platform/result.h"

namespace qvx::storage {

inline constexpr char kAssociationsFileName[] = "associations.qvxc";
inline constexpr std::size_t kKeyIdSize = 52;
inline constexpr std::size_t kAssociationSize = 212;
inline constexpr std::size_t kAssociationCheckOffset = 52;
inline constexpr std::size_t kAssociationAccountOffset = 84;
inline constexpr std::size_t kAssociationAccountSize = 128;

// A key pair's identity, taken as its 52 raw bytes.
using KeyIdBytes = std::array<std::uint8_t, kKeyIdSize>;
using AssociationBytes = std::array<std::uint8_t, kAssociationSize>;

struct KeyAssociation {
  KeyIdBytes key_id{};
  Sha256Digest check{};  // SHA-256(SHA-256(password))
  std::string account;   // at most 127 characters
};

// The record for an association: KeyId, check value, account name with zeros
// behind it. InvalidArgument for an account name over 127 characters or with
// a zero byte.
Result<AssociationBytes> EncodeAssociation(const KeyAssociation& association);
// The account name is read up to its first zero (at most 128 bytes).
KeyAssociation DecodeAssociation(const AssociationBytes& record);

// The whole records of a file; bytes behind the last whole record (a record
// cut short) are not part of any.
std::vector<AssociationBytes> ParseAssociations(const std::uint8_t* data, std::size_t size);

// Answers whether a key pair still has its private key file. The key store
// provides it; an error stops a purge without changing the file.
using PrivateKeyExists = std::function<Result<bool>(const KeyIdBytes&)>;

// The associations file. Each operation reads the file afresh; a change
// holds the file's lock (LockPathFor) from its read to its write and replaces
// the whole file atomically (Busy when the lock is not free in time). A rewritten file holds whole records
// only: a cut-short record at its end is dropped, never written behind.
class AssociationsFile {
 public:
  AssociationsFile(FileSystem& fs, std::string path) : fs_(&fs), path_(std::move(path)) {}
  // The file in a storage folder.
  static AssociationsFile InFolder(FileSystem& fs, std::string_view folder);

  const std::string& path() const { return path_; }
  // How long a change waits for another program's lock before it fails Busy.
  void set_lock_wait(std::chrono::milliseconds wait) { lock_wait_ = wait; }

  // The first association of a key; nullopt when there is none or no file
  // (which is not created).
  Result<std::optional<KeyAssociation>> Find(const KeyIdBytes& key_id) const;

  // Removes every record equal to the new one, then appends it; creates the
  // file when there is none. Fails without writing when the file exists but
  // cannot be read.
  Status Add(const KeyIdBytes& key_id, const Sha256Digest& check, std::string_view account);

  // Drops the records whose private key file no longer exists; the file is
  // only written when a record is dropped. Returns how many were dropped.
  Result<std::size_t> Purge(const PrivateKeyExists& private_key_exists);

  // Every whole record in file order (empty when there is no file).
  Result<std::vector<KeyAssociation>> ReadAll() const;

 private:
  Result<std::vector<AssociationBytes>> ReadRecords() const;
  Status Write(const std::vector<AssociationBytes>& records);

  FileSystem* fs_;
  std::string path_;
  std::chrono::milliseconds lock_wait_ = kDefaultLockWait;
};

}  // namespace qvx::storage

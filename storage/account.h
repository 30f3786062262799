// Password storage accounts: one file per account (account name + ".qvxp") in
// a storage folder, enciphered under the SHA-256 of the account password. A
// StorageSession is one login: it holds that key and wipes it when it ends.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sha256.h"
#include "platform/files.h"
#include "platform/result.h"
#include "platform/secure.h"
#include "storage/record.h"
#include "storage/storage_file.h"

namespace qvx::storage {

inline constexpr char kAccountFileExtension[] = ".qvxp";
inline constexpr std::size_t kMaxAccountNameLength = 127;
// The longest account password the login and the new-password dialogs take
// (it bounds typing only: the account's key is made from the whole text).
inline constexpr std::size_t kMaxAccountPasswordLength = 79;

// Opening accepts every name that a file could have been created under before;
// creating also refuses a trailing dot or blank, which Windows drops from file
// names.
enum class NameUse { Open, Create };

// Why an account name cannot name its file safely, or nullopt when it can:
// empty, longer than 127 characters, "." or "..", path separators or other
// characters Windows refuses (<>:"/\|?*), control characters, device names
// (CON, PRN, AUX, NUL, COM1..9, LPT1..9, CONIN$, CONOUT$, also with an
// extension), and for creation a trailing dot or blank.
std::optional<std::string> AccountNameProblem(std::string_view name, NameUse use);

// The folder that holds the account files.
class AccountFolder {
 public:
  AccountFolder(FileSystem& fs, std::string folder) : fs_(&fs), folder_(std::move(folder)) {}

  FileSystem& fs() const { return *fs_; }
  const std::string& folder() const { return folder_; }

  // folder + name + ".qvxp" (the name is not checked here).
  std::string FilePath(std::string_view account) const;
  // True when the name is usable and its file exists.
  bool Exists(std::string_view account) const;

 private:
  FileSystem* fs_;
  std::string folder_;
};

// A record as read from the file: its position, its bytes (which identify it
// for editing and removal) and its checked contents.
struct StoredRecord {
  std::size_t index = 0;  // position in the file, from 0
  RecordBytes bytes{};
  RecordContents contents;
};

// One logged-in account. Every operation reads the file afresh, refuses to go
// on when the header no longer belongs to the key (WrongPassword) or a record
// fails its check values (Corrupted), and saves by replacing the whole file
// atomically, so a failed save leaves the previous file as it was. A change
// holds the file's lock (LockPathFor) from its read to its save, so changes
// made by other programs at the same time are never written over; Busy when
// the lock is not free within kDefaultLockWait.
class StorageSession {
 public:
  StorageSession(StorageSession&& other) noexcept;
  StorageSession& operator=(StorageSession&& other) noexcept;
  StorageSession(const StorageSession&) = delete;
  StorageSession& operator=(const StorageSession&) = delete;
  ~StorageSession() = default;  // the key wipes itself

  const std::string& account() const { return account_; }
  const std::string& path() const { return path_; }
  // How long a change waits for another program's lock before it fails Busy.
  void set_lock_wait(std::chrono::milliseconds wait) { lock_wait_ = wait; }

  // All records in file order, deciphered and checked.
  Result<std::vector<StoredRecord>> ReadRecords() const;

  // Appends a record stamped with the local time now (or the given time).
  // InvalidArgument, before anything is written, for texts a record cannot
  // keep intact (a password over 63 characters among them).
  Status Add(std::string_view owner, std::string_view password, std::string_view note);
  Status Add(std::string_view owner, std::string_view password, std::string_view note,
             FileTime created);

  // Replaces password and note of a record read before, keeping its owner and
  // time. NotFound when the record is no longer in the file.
  Status Edit(const StoredRecord& record, std::string_view password, std::string_view note);

  // Removes a record read before; the records behind it move up.
  Status Remove(const StoredRecord& record);

  // Re-enciphers every record under the new password's key, keeping owners,
  // passwords, notes and times; the session then holds the new key. On any
  // failure the file and the session stay as they were.
  Status ChangePassword(std::string_view new_password);

  // SHA-256 of the password of the first record (in file order) whose
  // SHA-256(SHA-256(password)) equals the check value; NotFound when none does.
  // Record check values are not tested here.
  Result<Key256> FindAssociatedPassword(const Sha256Digest& check) const;

  // SHA-256 of a record's password: what choosing it from the storage yields.
  Key256 PasswordKey(const StoredRecord& record) const;

 private:
  friend Result<StorageSession> CreateAccount(const AccountFolder&, std::string_view,
                                              std::string_view);
  friend Result<StorageSession> OpenAccount(const AccountFolder&, std::string_view,
                                            std::string_view);
  StorageSession(FileSystem& fs, std::string account, std::string path, Key256 key);

  struct CheckedFile {
    StorageImage image;
    std::vector<RecordContents> contents;
  };
  Result<StorageImage> ReadImage() const;
  Result<CheckedFile> ReadChecked() const;
  // The lock every change holds from reading the file to replacing it.
  Result<std::unique_ptr<FileLock>> Lock() const;
  Status Save(const StorageImage& image) const;
  static Result<std::size_t> Locate(const StorageImage& image, const StoredRecord& record);

  FileSystem* fs_;
  std::string account_;
  std::string path_;
  Key256 key_;
  std::chrono::milliseconds lock_wait_ = kDefaultLockWait;
};

// Creates the account file (header only) and logs in to it. InvalidArgument
// for an unusable name or an empty password; AlreadyExists when the account
// exists (an existing file is never replaced).
Result<StorageSession> CreateAccount(const AccountFolder& folder, std::string_view name,
                                     std::string_view password);

// Logs in: NotFound when there is no such account, Corrupted when its file is
// shorter than the header, WrongPassword when the password does not give the
// header's check value.
Result<StorageSession> OpenAccount(const AccountFolder& folder, std::string_view name,
                                   std::string_view password);

}  // namespace qvx::storage

// File access for the cores: whole-file reads, atomic whole-file replacement,
// folder listing. One interface, a native implementation per platform, and test
// doubles (tests/support) that fail on purpose.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "platform/secure.h"

namespace qvx {

using Bytes = std::vector<std::uint8_t>;

// An exclusive lock taken with FileSystem::LockExclusive; released when the
// object is destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// How long a storage rewrite waits for another program's lock by default.
inline constexpr std::chrono::milliseconds kDefaultLockWait{5000};

// Paths are narrow strings: the ANSI code page on Windows, bytes elsewhere,
// matching the single-byte owner and account names inside the file formats.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Whole contents of a file. NotFound when it does not exist.
  virtual Result<Bytes> ReadFile(const std::string& path) = 0;

  // The same for a file that holds a secret (a password file, a text to be
  // encrypted): every byte of it, on its way in too, lives only in memory
  // that is wiped when released. The native file systems read straight into
  // the result; this default copies ReadFile's bytes and wipes them.
  virtual Result<SecureBytes> ReadSecretFile(const std::string& path);

  // Replaces the file with exactly these bytes: they are written to a temporary
  // file in the same folder, flushed, then renamed over the target. On failure
  // the previous file (or its absence) is left as it was.
  virtual Status WriteFileAtomic(const std::string& path, const std::uint8_t* data,
                                 std::size_t size) = 0;

  // Creates a new file with exactly these bytes, written and flushed as by
  // WriteFileAtomic, but never over an existing file: AlreadyExists when the
  // path exists (also when another program creates it at the same moment).
  virtual Status CreateFileExclusive(const std::string& path, const std::uint8_t* data,
                                     std::size_t size) = 0;

  // Takes an exclusive lock named by a lock file (created when missing,
  // removed again when the lock is released), waiting up to `wait` while
  // another holder (another process, or another lock object in this one)
  // has it. Busy when the wait runs out; Io when the lock file cannot be made.
  virtual Result<std::unique_ptr<FileLock>> LockExclusive(const std::string& lock_path,
                                                          std::chrono::milliseconds wait) = 0;

  // Names (not paths) of the regular files directly inside a folder, in
  // directory order. NotFound when the folder does not exist.
  virtual Result<std::vector<std::string>> ListFiles(const std::string& folder) = 0;

  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;

  // Creates one folder; an existing folder is no error.
  virtual Status CreateFolder(const std::string& path) = 0;

  // Removes a file; NotFound when it did not exist.
  virtual Status RemoveFile(const std::string& path) = 0;

  Status WriteFileAtomic(const std::string& path, const Bytes& data) {
    return WriteFileAtomic(path, data.data(), data.size());
  }
  Status CreateFileExclusive(const std::string& path, const Bytes& data) {
    return CreateFileExclusive(path, data.data(), data.size());
  }
};

// The lock file that guards the rewrites of a file: path + ".lock".
std::string LockPathFor(std::string_view path);

// What a path names, looked at without following a final symbolic link (or,
// on Windows, a reparse point).
enum class PathKind { Missing, Regular, Directory, Link, Other /* FIFO, device, socket */ };
PathKind InspectPath(const std::string& path);

// The file system of this machine.
FileSystem& NativeFileSystem();

// The platform's path separator ('\\' on Windows, '/' elsewhere).
char PathSeparator();

// folder + separator + name (no doubled separator).
std::string JoinPath(std::string_view folder, std::string_view name);

// Last path component.
std::string FileNameOf(std::string_view path);

// Everything before the last path component, without the trailing separator.
std::string FolderOf(std::string_view path);

}  // namespace qvx

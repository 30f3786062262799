// POSIX implementation of the file interface.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/files.h"
#include "platform/system.h"

namespace qvx {

namespace {

Error ErrnoError(const std::string& what, const std::string& path) {
  const int err = errno;
  return MakeError(err == ENOENT ? Errc::NotFound : Errc::Io,
                   what + " " + path + ": " + std::strerror(err));
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Close(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Close() {
    int r = 0;
    if (fd_ >= 0) r = ::close(fd_);
    fd_ = -1;
    return r;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// A whole regular file, read straight into the buffer (no staging copy): a
// SecureBytes result then holds the only copy, and its growth wipes as it goes.
template <class Buffer>
Result<Buffer> ReadWhole(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return ErrnoError("cannot open", path);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return ErrnoError("cannot read", path);
  if (!S_ISREG(st.st_mode)) return MakeError(Errc::Io, "not a regular file: " + path);
  // Beyond half the address space no buffer could hold it (and on 32-bit
  // systems the size would not even fit a size_t).
  if (static_cast<std::uint64_t>(st.st_size) > SIZE_MAX / 2) {
    return MakeError(Errc::OutOfMemory, "file too large: " + path);
  }
  Buffer data;
  // One byte more than the size, so that the end shows without growing.
  data.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t done = 0;
  for (;;) {
    if (done == data.size()) {  // the file grew meanwhile
      if (data.size() > SIZE_MAX / 4) return MakeError(Errc::OutOfMemory, "file too large: " + path);
      data.resize(data.size() * 2);
    }
    const ssize_t n = ::read(fd.get(), data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrnoError("cannot read", path);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  data.resize(done);
  return data;
}

// A temporary file beside `path` holding exactly these bytes, flushed and
// closed, with the given permissions; its name is returned.
Result<std::string> WriteTemporary(const std::string& path, const std::uint8_t* data,
                                   std::size_t size, mode_t mode) {
  std::string temp;
  int raw = -1;
  for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
    std::uint32_t tag = 0;
    (void)RandomBytes(&tag, sizeof tag);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".qvxtmp%08x", tag);
    temp = path + suffix;
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (raw < 0 && errno != EEXIST) return ErrnoError("cannot create", temp);
  }
  if (raw < 0) return MakeError(Errc::Io, "cannot create a temporary file for " + path);
  Fd fd(raw);
  if (mode != 0600) (void)::fchmod(fd.get(), mode);
  if (!WriteAll(fd.get(), data, size) || ::fsync(fd.get()) != 0 || fd.Close() != 0) {
    Error e = ErrnoError("cannot write", temp);
    ::unlink(temp.c_str());
    return e;
  }
  return temp;
}

// Makes a rename or link in the folder of `path` durable.
void SyncFolderOf(const std::string& path) {
  const std::string folder = FolderOf(path);
  Fd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) (void)::fsync(dir.get());
}

// A held flock() on a lock file. The name is removed before the lock is let
// go, so that no lock file stays behind; a waiter that locked the removed
// file notices it (LockExclusive compares the inode) and opens the name anew.
class PosixLock final : public FileLock {
 public:
  PosixLock(std::string path, std::unique_ptr<Fd> fd) : path_(std::move(path)), fd_(std::move(fd)) {}
  ~PosixLock() override {
    ::unlink(path_.c_str());
    fd_->Close();
  }

 private:
  std::string path_;
  std::unique_ptr<Fd> fd_;
};

class PosixFileSystem final : public FileSystem {
 public:
  Result<Bytes> ReadFile(const std::string& path) override { return ReadWhole<Bytes>(path); }

  Result<SecureBytes> ReadSecretFile(const std::string& path) override {
    return ReadWhole<SecureBytes>(path);
  }

  Status WriteFileAtomic(const std::string& path, const std::uint8_t* data,
                         std::size_t size) override {
    struct stat old {};
    const bool replacing = ::stat(path.c_str(), &old) == 0;
    // Keep the permissions of a file that is being replaced.
    auto temp = WriteTemporary(path, data, size, replacing ? old.st_mode & 07777 : 0600);
    if (!temp) return temp.error();
    if (::rename(temp->c_str(), path.c_str()) != 0) {
      Error e = ErrnoError("cannot replace", path);
      ::unlink(temp->c_str());
      return e;
    }
    SyncFolderOf(path);
    return Ok();
  }

  Status CreateFileExclusive(const std::string& path, const std::uint8_t* data,
                             std::size_t size) override {
    auto temp = WriteTemporary(path, data, size, 0600);
    if (!temp) return temp.error();
    // link() puts the finished file in place only when the name is free, so a
    // reader never sees a half-written file and two creators cannot both win.
    const int linked = ::link(temp->c_str(), path.c_str());
    const int err = errno;
    ::unlink(temp->c_str());
    if (linked == 0) {
      SyncFolderOf(path);
      return Ok();
    }
    if (err == EEXIST) return MakeError(Errc::AlreadyExists, "the file exists already: " + path);
    if (err != EPERM && err != ENOTSUP && err != EOPNOTSUPP && err != ENOSYS) {
      errno = err;
      return ErrnoError("cannot create", path);
    }
    // A file system without hard links: create the name exclusively and write
    // into it; a failed write removes what was created.
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.valid()) {
      if (errno == EEXIST) return MakeError(Errc::AlreadyExists, "the file exists already: " + path);
      return ErrnoError("cannot create", path);
    }
    if (!WriteAll(fd.get(), data, size) || ::fsync(fd.get()) != 0 || fd.Close() != 0) {
      Error e = ErrnoError("cannot write", path);
      ::unlink(path.c_str());
      return e;
    }
    SyncFolderOf(path);
    return Ok();
  }

  Result<std::unique_ptr<FileLock>> LockExclusive(const std::string& lock_path,
                                                  std::chrono::milliseconds wait) override {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
      auto fd = std::make_unique<Fd>(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
      if (!fd->valid()) return ErrnoError("cannot create the lock file", lock_path);
      // flock() belongs to the open file, so two lock objects of one process
      // exclude each other as two processes do.
      if (::flock(fd->get(), LOCK_EX | LOCK_NB) == 0) {
        // The holder before us removes the lock file when it lets go; a lock on
        // a file no longer under that name guards nothing, so try again.
        struct stat held {}, named {};
        if (::fstat(fd->get(), &held) == 0 && ::stat(lock_path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
          return std::unique_ptr<FileLock>(new PosixLock(lock_path, std::move(fd)));
        }
        continue;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) return ErrnoError("cannot lock", lock_path);
      if (std::chrono::steady_clock::now() >= deadline) {
        return MakeError(Errc::Busy, "another program holds the lock " + lock_path);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  Result<std::vector<std::string>> ListFiles(const std::string& folder) override {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return ErrnoError("cannot list", folder);
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      if (::stat(JoinPath(folder, name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        names.push_back(std::move(name));
      }
    }
    ::closedir(dir);
    return names;
  }

  bool FileExists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  bool FolderExists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  Status CreateFolder(const std::string& path) override {
    if (::mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && FolderExists(path))) return Ok();
    return ErrnoError("cannot create folder", path);
  }

  Status RemoveFile(const std::string& path) override {
    if (::unlink(path.c_str()) == 0) return Ok();
    return ErrnoError("cannot remove", path);
  }
};

}  // namespace

PathKind InspectPath(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return PathKind::Missing;
  if (S_ISREG(st.st_mode)) return PathKind::Regular;
  if (S_ISDIR(st.st_mode)) return PathKind::Directory;
  if (S_ISLNK(st.st_mode)) return PathKind::Link;
  return PathKind::Other;
}

FileSystem& NativeFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

char PathSeparator() { return '/'; }

}  // namespace qvx

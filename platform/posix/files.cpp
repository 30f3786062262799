// POSIX implementation of the file interface.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

class PosixFileSystem final : public FileSystem {
 public:
  Result<Bytes> ReadFile(const std::string& path) override {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return ErrnoError("cannot open", path);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return ErrnoError("cannot read", path);
    if (!S_ISREG(st.st_mode)) return MakeError(Errc::Io, "not a regular file: " + path);
    Bytes data;
    data.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t chunk[65536];
    for (;;) {
      ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
      if (n < 0) {
        if (errno == EINTR) continue;
        return ErrnoError("cannot read", path);
      }
      if (n == 0) break;
      data.insert(data.end(), chunk, chunk + n);
    }
    return data;
  }

  Status WriteFileAtomic(const std::string& path, const std::uint8_t* data,
                         std::size_t size) override {
    const std::string folder = FolderOf(path);
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
    // Keep the permissions of a file that is being replaced.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) (void)::fchmod(fd.get(), old.st_mode & 07777);
    if (!WriteAll(fd.get(), data, size) || ::fsync(fd.get()) != 0 || fd.Close() != 0) {
      Error e = ErrnoError("cannot write", temp);
      ::unlink(temp.c_str());
      return e;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
      Error e = ErrnoError("cannot replace", path);
      ::unlink(temp.c_str());
      return e;
    }
    Fd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) (void)::fsync(dir.get());
    return Ok();
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

FileSystem& NativeFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

char PathSeparator() { return '/'; }

}  // namespace qvx

// Win32 implementation of the file interface (ANSI paths).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "platform/files.h"
#include "platform/system.h"

namespace qvx {

namespace {

// The system's own words for an error code ("Access is denied"), or nothing.
std::string SystemErrorText(DWORD err) {
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      err, 0, text, sizeof text, nullptr);
  std::string out(text, length);
  while (!out.empty() && (out.back() == '\r' || out.back() == '\n' || out.back() == ' ' || out.back() == '.')) {
    out.pop_back();
  }
  return out;
}

Error LastError(const std::string& what, const std::string& path) {
  const DWORD err = GetLastError();
  const bool missing = err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
  const std::string reason = SystemErrorText(err);
  return MakeError(missing ? Errc::NotFound : Errc::Io,
                   what + " " + path + ": " + (reason.empty() ? "" : reason + " ") + "(error " +
                       std::to_string(err) + ")");
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  bool Close() {
    bool ok = true;
    if (valid()) ok = CloseHandle(h_) != 0;
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE h_;
};

// A whole file, read straight into the buffer (no staging copy), so that a
// SecureBytes result holds the only copy.
template <class Buffer>
Result<Buffer> ReadWhole(const std::string& path) {
  // FILE_SHARE_DELETE: a reader must not keep another program from replacing
  // the file (WriteFileAtomic) while it reads; it goes on reading the old one.
  Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return LastError("cannot open", path);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return LastError("cannot read", path);
  if (static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX / 2) {
    return MakeError(Errc::OutOfMemory, "file too large: " + path);
  }
  Buffer data(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < data.size()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 24));
    DWORD got = 0;
    if (!::ReadFile(file.get(), data.data() + done, want, &got, nullptr)) {
      return LastError("cannot read", path);
    }
    if (got == 0) break;
    done += got;
  }
  data.resize(done);
  return data;
}

// A temporary file beside `path` holding exactly these bytes, flushed and
// closed; its name is returned.
Result<std::string> WriteTemporary(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::string temp;
  HANDLE raw = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && raw == INVALID_HANDLE_VALUE; ++attempt) {
    std::uint32_t tag = 0;
    (void)RandomBytes(&tag, sizeof tag);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".qvxtmp%08lx", static_cast<unsigned long>(tag));
    temp = path + suffix;
    raw = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                      nullptr);
    if (raw == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      return LastError("cannot create", temp);
    }
  }
  if (raw == INVALID_HANDLE_VALUE) {
    return MakeError(Errc::Io, "cannot create a temporary file for " + path);
  }
  Handle file(raw);
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 24));
    DWORD written = 0;
    ok = ::WriteFile(file.get(), data + done, chunk, &written, nullptr) && written == chunk;
    done += written;
  }
  ok = ok && FlushFileBuffers(file.get());
  if (!ok) {
    Error e = LastError("cannot write", temp);
    file.Close();
    DeleteFileA(temp.c_str());
    return e;
  }
  file.Close();
  return temp;
}

// How long WriteFileAtomic tries again to replace a file that a reader holds.
constexpr std::chrono::milliseconds kReplaceWait{3000};

// A held lock file handle (opened without sharing, deleted on close).
class Win32Lock final : public FileLock {
 public:
  explicit Win32Lock(HANDLE h) : handle_(h) {}

 private:
  Handle handle_;
};

class Win32FileSystem final : public FileSystem {
 public:
  Result<Bytes> ReadFile(const std::string& path) override { return ReadWhole<Bytes>(path); }

  Result<SecureBytes> ReadSecretFile(const std::string& path) override {
    return ReadWhole<SecureBytes>(path);
  }

  Status WriteFileAtomic(const std::string& path, const std::uint8_t* data,
                         std::size_t size) override {
    auto temp = WriteTemporary(path, data, size);
    if (!temp) return temp.error();
    // Another program reading the file at this moment (a storage opened
    // elsewhere checks its password outside the lock) makes the replace fail
    // for as long as it holds the file open: Wine refuses to rename over any
    // open file, Windows over one opened without FILE_SHARE_DELETE. A read is
    // over in moments, so a regular file is tried again for a while.
    const auto deadline = std::chrono::steady_clock::now() + kReplaceWait;
    while (!MoveFileExA(temp->c_str(), path.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      const DWORD err = GetLastError();
      const bool held = (err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION) &&
                        InspectPath(path) == PathKind::Regular;
      if (!held || std::chrono::steady_clock::now() >= deadline) {
        SetLastError(err);
        Error e = LastError("cannot replace", path);
        DeleteFileA(temp->c_str());
        return e;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Ok();
  }

  Status CreateFileExclusive(const std::string& path, const std::uint8_t* data,
                             std::size_t size) override {
    auto temp = WriteTemporary(path, data, size);
    if (!temp) return temp.error();
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is
    // taken, so the finished file appears only under a free name.
    if (!MoveFileExA(temp->c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
      const DWORD err = GetLastError();
      Error e = err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS
                    ? MakeError(Errc::AlreadyExists, "the file exists already: " + path)
                    : LastError("cannot create", path);
      DeleteFileA(temp->c_str());
      return e;
    }
    return Ok();
  }

  Result<std::unique_ptr<FileLock>> LockExclusive(const std::string& lock_path,
                                                  std::chrono::milliseconds wait) override {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
      // No sharing: while one handle is open every other open fails with a
      // sharing violation. The file goes away with the last handle.
      HANDLE raw = CreateFileA(lock_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                               nullptr);
      if (raw != INVALID_HANDLE_VALUE) {
        return std::unique_ptr<FileLock>(new Win32Lock(raw));
      }
      const DWORD err = GetLastError();
      // A lock file that is being deleted refuses opens with "access denied"
      // for a moment; only the wait tells it from a folder we may not write.
      if (err != ERROR_SHARING_VIOLATION && err != ERROR_ACCESS_DENIED && err != ERROR_LOCK_VIOLATION) {
        return LastError("cannot create the lock file", lock_path);
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        if (err == ERROR_ACCESS_DENIED) return LastError("cannot create the lock file", lock_path);
        return MakeError(Errc::Busy, "another program holds the lock " + lock_path);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  Result<std::vector<std::string>> ListFiles(const std::string& folder) override {
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA(JoinPath(folder, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND && FolderExists(folder)) {
        return std::vector<std::string>{};
      }
      return LastError("cannot list", folder);
    }
    std::vector<std::string> names;
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        names.emplace_back(found.cFileName);
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  }

  bool FileExists(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool FolderExists(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  Status CreateFolder(const std::string& path) override {
    if (CreateDirectoryA(path.c_str(), nullptr) || FolderExists(path)) return Ok();
    return LastError("cannot create folder", path);
  }

  Status RemoveFile(const std::string& path) override {
    if (DeleteFileA(path.c_str())) return Ok();
    return LastError("cannot remove", path);
  }
};

}  // namespace

PathKind InspectPath(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return PathKind::Missing;
  } else {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Directory;
  }
  // A disk file, or a device such as NUL or CON (whose attributes can look
  // like a file's): ask the opened handle.
  Handle file(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                          nullptr));
  if (!file.valid()) return attributes == INVALID_FILE_ATTRIBUTES ? PathKind::Missing : PathKind::Regular;
  return GetFileType(file.get()) == FILE_TYPE_DISK ? PathKind::Regular : PathKind::Other;
}

FileSystem& NativeFileSystem() {
  static Win32FileSystem fs;
  return fs;
}

char PathSeparator() { return '\\'; }

}  // namespace qvx

// Win32 implementation of the file interface (ANSI paths).
#include <windows.h>

#include <algorithm>
#include <cstdio>

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

class Win32FileSystem final : public FileSystem {
 public:
  Result<Bytes> ReadFile(const std::string& path) override {
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return LastError("cannot open", path);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return LastError("cannot read", path);
    if (static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX / 2) {
      return MakeError(Errc::OutOfMemory, "file too large: " + path);
    }
    Bytes data(static_cast<std::size_t>(size.QuadPart));
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

  Status WriteFileAtomic(const std::string& path, const std::uint8_t* data,
                         std::size_t size) override {
    std::string temp;
    HANDLE raw = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && raw == INVALID_HANDLE_VALUE; ++attempt) {
      std::uint32_t tag = 0;
      (void)RandomBytes(&tag, sizeof tag);
      char suffix[32];
      std::snprintf(suffix, sizeof suffix, ".qvxtmp%08lx", static_cast<unsigned long>(tag));
      temp = path + suffix;
      raw = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
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
    if (!MoveFileExA(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      Error e = LastError("cannot replace", path);
      DeleteFileA(temp.c_str());
      return e;
    }
    return Ok();
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

FileSystem& NativeFileSystem() {
  static Win32FileSystem fs;
  return fs;
}

char PathSeparator() { return '\\'; }

}  // namespace qvx

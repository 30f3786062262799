// System folders and paths.
#include "setup/win32/system_places.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace qvx::setup {

namespace {

std::optional<std::string> ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ||
      path[0] == '\0') {
    return std::nullopt;
  }
  return std::string(path);
}

template <class Fill>
std::string GrowingBuffer(Fill fill) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(std::max<std::size_t>(buffer.size() * 2, n + 1));
    if (buffer.size() > 65536) return {};
  }
}

}  // namespace

std::string OwnProgramPath() {
  return GrowingBuffer([](char* data, DWORD size) {
    const DWORD n = GetModuleFileNameA(nullptr, data, size);
    // A full buffer means the name was cut: ask again with more room.
    return n >= size ? size : n;
  });
}

std::optional<std::string> CommonProgramsFolder() { return ShellFolder(CSIDL_COMMON_PROGRAMS); }

std::vector<std::string> ProtectedFolders() {
  static constexpr int kFolders[] = {
      CSIDL_WINDOWS,         CSIDL_SYSTEM,          CSIDL_SYSTEMX86,
      CSIDL_PROGRAM_FILES,   CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
      CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_PROFILE, CSIDL_APPDATA,
      CSIDL_LOCAL_APPDATA,   CSIDL_COMMON_APPDATA,  CSIDL_DESKTOPDIRECTORY,
      CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS,
      CSIDL_PROGRAMS,        CSIDL_COMMON_PROGRAMS, CSIDL_STARTMENU,
      CSIDL_COMMON_STARTMENU, CSIDL_STARTUP,        CSIDL_COMMON_STARTUP,
      CSIDL_FONTS,           CSIDL_MYPICTURES,      CSIDL_MYMUSIC,
      CSIDL_MYVIDEO,         CSIDL_FAVORITES,
  };
  std::vector<std::string> folders;
  for (int csidl : kFolders) {
    if (auto path = ShellFolder(csidl)) folders.push_back(ResolvedPath(*path));
  }
  char path[MAX_PATH] = {};
  if (GetWindowsDirectoryA(path, MAX_PATH) != 0) folders.emplace_back(ResolvedPath(path));
  if (GetSystemDirectoryA(path, MAX_PATH) != 0) folders.emplace_back(ResolvedPath(path));
  const DWORD temp = GetTempPathA(MAX_PATH, path);
  if (temp != 0 && temp < MAX_PATH) folders.emplace_back(ResolvedPath(path));
  return folders;
}

std::string ResolvedPath(const std::string& path) {
  std::string full = GrowingBuffer([&](char* data, DWORD size) {
    return GetFullPathNameA(path.c_str(), size, data, nullptr);
  });
  if (full.empty()) return path;
  std::string long_name = GrowingBuffer([&](char* data, DWORD size) {
    return GetLongPathNameA(full.c_str(), data, size);
  });
  return long_name.empty() ? full : long_name;
}

bool FolderExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string SystemErrorText(unsigned long code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n != 0 && text != nullptr ? std::string(text, n) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) message = "error " + std::to_string(code);
  return message;
}

}  // namespace qvx::setup

// Win32 implementation of clock, random bytes and program folder.
#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/system.h"

namespace qvx {

FileTime LocalFileTimeNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  FILETIME ft{};
  SystemTimeToFileTime(&now, &ft);
  return (static_cast<FileTime>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

std::uint32_t TickCount() { return GetTickCount(); }

Status RandomBytes(void* data, std::size_t size) {
  auto* out = static_cast<PUCHAR>(data);
  while (size > 0) {
    const ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 20));
    const NTSTATUS status =
        BCryptGenRandom(nullptr, out, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) {
      return MakeError(Errc::Io, "BCryptGenRandom failed: " + std::to_string(status));
    }
    out += chunk;
    size -= chunk;
  }
  return Ok();
}

std::string ProgramFolder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return ".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return FolderOf(path);
}

}  // namespace qvx

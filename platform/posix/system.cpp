// POSIX implementation of clock, random bytes, program folder and user settings.
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/settings.h"
#include "platform/system.h"

namespace qvx {

FileTime LocalFileTimeNow() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  ::localtime_r(&ts.tv_sec, &local);
  CivilTime c;
  c.year = local.tm_year + 1900;
  c.month = local.tm_mon + 1;
  c.day = local.tm_mday;
  c.hour = local.tm_hour;
  c.minute = local.tm_min;
  c.second = local.tm_sec;
  c.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return CivilToFileTime(c);
}

std::uint32_t TickCount() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

Status RandomBytes(void* data, std::size_t size) {
  auto* out = static_cast<std::uint8_t*>(data);
  while (size > 0) {
    ssize_t n = ::getrandom(out, size, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return MakeError(Errc::Io, std::string("getrandom: ") + std::strerror(errno));
    }
    out += n;
    size -= static_cast<std::size_t>(n);
  }
  return Ok();
}

std::string ProgramFolder() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  return FolderOf(std::string_view(buffer, static_cast<std::size_t>(n)));
}

std::unique_ptr<SettingsStore> OpenUserSettings() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home) {
    base = JoinPath(home, ".config");
  } else {
    base = ".";
  }
  return OpenFileSettings(JoinPath(JoinPath(base, "quorvix"), "settings"));
}

}  // namespace qvx

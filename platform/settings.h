// The user's preferences as named values. On Windows the registry key
// HKEY_CURRENT_USER\Software\Koltharin\Quorvix; elsewhere a small text file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qvx {

// Where Windows keeps them, below HKEY_CURRENT_USER; the uninstaller removes
// the key and the company key above it when that is left empty.
inline constexpr char kCompanyKeyPath[] = "Software\\Koltharin";
inline constexpr char kSettingsKeyPath[] = "Software\\Koltharin\\Quorvix";

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // Missing store or missing value: nullopt (the caller keeps its default).
  virtual std::optional<std::uint32_t> ReadDword(std::string_view name) = 0;
  virtual std::optional<std::string> ReadString(std::string_view name) = 0;

  // False when the value could not be written.
  virtual bool WriteDword(std::string_view name, std::uint32_t value) = 0;
  virtual bool WriteString(std::string_view name, std::string_view value) = 0;
};

// The current user's settings store of this platform.
std::unique_ptr<SettingsStore> OpenUserSettings();

// Settings kept in a text file (one "name=type:value" line each); the POSIX
// user store and tests use it directly.
std::unique_ptr<SettingsStore> OpenFileSettings(std::string path);

}  // namespace qvx

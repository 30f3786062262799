// Settings in the registry: HKEY_CURRENT_USER\Software\Koltharin\Quorvix.
// Reading opens the key without creating it, so a missing key leaves every
// value at its default; writing creates it.
#include <windows.h>

#include "platform/settings.h"

namespace qvx {

namespace {

constexpr const char* kSettingsKey = kSettingsKeyPath;

class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  bool Open(REGSAM access) {
    return RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, access, &key_) == ERROR_SUCCESS;
  }
  bool Create() {
    return RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_WRITE, nullptr, &key_, nullptr) == ERROR_SUCCESS;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class RegistrySettings final : public SettingsStore {
 public:
  std::optional<std::uint32_t> ReadDword(std::string_view name) override {
    RegKey key;
    if (!key.Open(KEY_READ)) return std::nullopt;
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    const std::string n(name);
    if (RegQueryValueExA(key.get(), n.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        size != sizeof value) {
      return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
  }

  std::optional<std::string> ReadString(std::string_view name) override {
    RegKey key;
    if (!key.Open(KEY_READ)) return std::nullopt;
    const std::string n(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), n.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
      return std::nullopt;
    }
    std::string value(size, '\0');
    if (size > 0 && RegQueryValueExA(key.get(), n.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    value.resize(size);
    // Values may or may not carry their terminating zero.
    while (!value.empty() && value.back() == '\0') value.pop_back();
    return value;
  }

  bool WriteDword(std::string_view name, std::uint32_t value) override {
    RegKey key;
    if (!key.Create()) return false;
    const DWORD v = value;
    const std::string n(name);
    return RegSetValueExA(key.get(), n.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                          sizeof v) == ERROR_SUCCESS;
  }

  bool WriteString(std::string_view name, std::string_view value) override {
    RegKey key;
    if (!key.Create()) return false;
    const std::string n(name);
    const std::string v(value);
    return RegSetValueExA(key.get(), n.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                          static_cast<DWORD>(v.size() + 1)) == ERROR_SUCCESS;
  }
};

}  // namespace

std::unique_ptr<SettingsStore> OpenUserSettings() { return std::make_unique<RegistrySettings>(); }

}  // namespace qvx

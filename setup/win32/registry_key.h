// An open registry key that closes itself, with the few operations the
// installer and the uninstaller need. Texts are ANSI (REG_SZ).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace qvx::setup {

class RegistryKey {
 public:
  RegistryKey() = default;
  RegistryKey(RegistryKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  RegistryKey& operator=(RegistryKey&& other) noexcept;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey();

  // Opens an existing key; an empty key when it does not exist or may not be
  // opened that way.
  static RegistryKey Open(HKEY root, const std::string& path, REGSAM access = KEY_READ);
  // Opens the key, creating it (and the keys above it) when needed.
  static RegistryKey Create(HKEY root, const std::string& path);

  explicit operator bool() const { return key_ != nullptr; }
  HKEY get() const { return key_; }

  // Empty name: the key's default value. False when the value was not written.
  bool SetString(const std::string& name, const std::string& text) const;
  bool SetDword(const std::string& name, std::uint32_t value) const;
  // A REG_SZ or REG_EXPAND_SZ value (not expanded); none when missing.
  std::optional<std::string> ReadString(const std::string& name) const;
  std::optional<std::uint32_t> ReadDword(const std::string& name) const;
  // True when the value is gone afterwards (also when it never existed).
  bool DeleteValue(const std::string& name) const;
  bool HasSubkeys() const;
  bool HasValues() const;

 private:
  explicit RegistryKey(HKEY key) : key_(key) {}
  HKEY key_ = nullptr;
};

// Deletes a key with everything below it; true when it is gone afterwards.
bool DeleteKeyTree(HKEY root, const std::string& path);
// Deletes a key only when it has no subkeys and no values.
bool DeleteKeyIfEmpty(HKEY root, const std::string& path);
bool KeyExists(HKEY root, const std::string& path);

}  // namespace qvx::setup

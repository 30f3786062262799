// Registry key wrapper.
#include "setup/win32/registry_key.h"

#include <vector>

namespace qvx::setup {

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = other.key_;
    other.key_ = nullptr;
  }
  return *this;
}

RegistryKey::~RegistryKey() {
  if (key_ != nullptr) RegCloseKey(key_);
}

RegistryKey RegistryKey::Open(HKEY root, const std::string& path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS) return {};
  return RegistryKey(key);
}

RegistryKey RegistryKey::Create(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return {};
  }
  return RegistryKey(key);
}

bool RegistryKey::SetString(const std::string& name, const std::string& text) const {
  if (key_ == nullptr) return false;
  // The stored size counts the terminating zero.
  return RegSetValueExA(key_, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool RegistryKey::SetDword(const std::string& name, std::uint32_t value) const {
  if (key_ == nullptr) return false;
  const DWORD data = value;
  return RegSetValueExA(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data) == ERROR_SUCCESS;
}

std::optional<std::string> RegistryKey::ReadString(const std::string& name) const {
  if (key_ == nullptr) return std::nullopt;
  const char* value_name = name.empty() ? nullptr : name.c_str();
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key_, value_name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::nullopt;
  }
  std::vector<char> data(size + 1, '\0');
  DWORD got = size;
  if (RegQueryValueExA(key_, value_name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                       &got) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // The stored data need not end with a zero.
  return std::string(data.data(), strnlen(data.data(), got));
}

std::optional<std::uint32_t> RegistryKey::ReadDword(const std::string& name) const {
  if (key_ == nullptr) return std::nullopt;
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  if (RegQueryValueExA(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return data;
}

bool RegistryKey::DeleteValue(const std::string& name) const {
  if (key_ == nullptr) return false;
  const LONG result = RegDeleteValueA(key_, name.c_str());
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool RegistryKey::HasSubkeys() const {
  DWORD subkeys = 0;
  return key_ != nullptr &&
         RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys != 0;
}

bool RegistryKey::HasValues() const {
  DWORD values = 0;
  return key_ != nullptr &&
         RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         values != 0;
}

bool KeyExists(HKEY root, const std::string& path) {
  return static_cast<bool>(RegistryKey::Open(root, path));
}

bool DeleteKeyTree(HKEY root, const std::string& path) {
  if (!KeyExists(root, path)) return true;
  RegDeleteTreeA(root, path.c_str());
  return !KeyExists(root, path);
}

bool DeleteKeyIfEmpty(HKEY root, const std::string& path) {
  {
    const RegistryKey key = RegistryKey::Open(root, path);
    if (!key) return true;
    if (key.HasSubkeys() || key.HasValues()) return false;
  }
  return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace qvx::setup

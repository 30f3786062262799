// Registry, clipboard and hot-key probes.
#include "tests/support/e2e/system_state.h"

#include <cstring>

#include "tests/support/e2e/input.h"
#include "tests/support/e2e/process.h"

namespace qvx::e2e {

namespace settings {

namespace {

class Key {
 public:
  explicit Key(bool create) {
    if (create) {
      ok_ = RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                            nullptr) == ERROR_SUCCESS;
    } else {
      ok_ = RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key_) == ERROR_SUCCESS;
    }
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (ok_) RegCloseKey(key_);
  }
  explicit operator bool() const { return ok_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
  bool ok_ = false;
};

}  // namespace

void Reset() { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }

bool KeyExists() { return static_cast<bool>(Key(false)); }

std::optional<DWORD> ReadDword(const std::string& name) {
  Key key(false);
  if (!key) return std::nullopt;
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> ReadString(const std::string& name) {
  Key key(false);
  if (!key) return std::nullopt;
  char buffer[4096] = {};
  DWORD size = sizeof buffer - 1, type = 0;
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  return std::string(buffer, strnlen(buffer, size));
}

bool WriteDword(const std::string& name, DWORD value) {
  Key key(true);
  return key && RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

bool WriteString(const std::string& name, const std::string& value) {
  Key key(true);
  return key && RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool Delete(const std::string& name) {
  Key key(false);
  return key && RegDeleteValueA(key.get(), name.c_str()) == ERROR_SUCCESS;
}

}  // namespace settings

namespace clipboard {

namespace {

// Another process may hold the clipboard for a moment.
bool Open() {
  return WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 5000);
}

}  // namespace

std::optional<std::string> ReadText() {
  if (!Open()) return std::nullopt;
  std::optional<std::string> text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(data))) {
      text = std::string(p, strnlen(p, GlobalSize(data)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

bool WriteText(const std::string& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (block == nullptr) return false;
  std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  if (!Open()) {
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  const bool ok = SetClipboardData(CF_TEXT, block) != nullptr;
  if (!ok) GlobalFree(block);
  CloseClipboard();
  return ok;
}

bool Clear() {
  if (!Open()) return false;
  const bool ok = EmptyClipboard() != FALSE;
  CloseClipboard();
  return ok;
}

}  // namespace clipboard

bool HotKeyTaken(UINT modifiers, UINT key) {
  constexpr int kProbeId = 0xBFF0;
  if (!RegisterHotKey(nullptr, kProbeId, modifiers, key)) return true;
  UnregisterHotKey(nullptr, kProbeId);
  return false;
}

void PressAltShiftHotKey(WORD key) {
  WaitUntil([key] { return HotKeyTaken(MOD_ALT | MOD_SHIFT, key); });
  PressChord({VK_MENU, VK_SHIFT, key});
}

}  // namespace qvx::e2e

// Registering and releasing the hot keys of one mode.
#include "shell/hotkey_registration.h"

namespace qvx::shell {

HotKeyRegistration::HotKeyRegistration(HWND window, const HotKeySet& keys, CryptoMode mode)
    : window_(window), keys_(keys) {
  const auto& table = HotKeyActions();
  for (std::size_t row = 0; row < table.size(); ++row) {
    if (!IsActiveIn(table[row], mode)) continue;
    const int id = static_cast<int>(table[row].hot_key_id);
    if (RegisterHotKey(window, id, keys[row].modifiers, keys[row].key)) {
      registered_.push_back(id);
    } else {
      failed_.push_back(row);
    }
  }
}

bool HotKeyRegistration::RetryFailed() {
  const auto& table = HotKeyActions();
  std::vector<std::size_t> still;
  for (std::size_t row : failed_) {
    const int id = static_cast<int>(table[row].hot_key_id);
    if (RegisterHotKey(window_, id, keys_[row].modifiers, keys_[row].key)) {
      registered_.push_back(id);
    } else {
      still.push_back(row);
    }
  }
  failed_ = std::move(still);
  return failed_.empty();
}

HotKeyRegistration::~HotKeyRegistration() {
  for (int id : registered_) UnregisterHotKey(window_, id);
}

}  // namespace qvx::shell

// Loading and saving the tray program's preferences.
#include "shell/model/settings_model.h"

namespace qvx::shell {

namespace {

void ReadFlag(SettingsStore& store, const char* name, bool& flag) {
  if (auto v = store.ReadDword(name)) flag = *v != 0;
}

}  // namespace

Settings LoadSettings(SettingsStore& store) {
  Settings s;
  ReadFlag(store, value_names::kShowText, s.showText);
  ReadFlag(store, value_names::kAutorun, s.autorun);
  if (auto v = store.ReadDword(value_names::kMode)) {
    s.mode = *v != 0 ? CryptoMode::Password : CryptoMode::RsaKeys;
  }
  ReadFlag(store, value_names::kLoginAtStartup, s.loginAtStartup);
  for (std::size_t row = 0; row < kHotKeyCount; ++row) {
    if (auto v = store.ReadDword(ModifiersValueName(row))) s.hotKeys[row].modifiers = *v;
    if (auto v = store.ReadDword(KeyValueName(row))) s.hotKeys[row].key = KeyFromStoredValue(*v);
  }
  return s;
}

bool SaveSettings(SettingsStore& store, const Settings& s) {
  bool ok = store.WriteDword(value_names::kShowText, s.showText ? 1 : 0);
  ok = store.WriteDword(value_names::kAutorun, s.autorun ? 1 : 0) && ok;
  ok = store.WriteDword(value_names::kLoginAtStartup, s.loginAtStartup ? 1 : 0) && ok;
  for (std::size_t row = 0; row < kHotKeyCount; ++row) {
    ok = store.WriteDword(ModifiersValueName(row), s.hotKeys[row].modifiers) && ok;
    ok = store.WriteDword(KeyValueName(row), StoredKeyValue(s.hotKeys[row].key)) && ok;
  }
  return ok;
}

bool SaveMode(SettingsStore& store, CryptoMode mode) {
  return store.WriteDword(value_names::kMode, static_cast<std::uint32_t>(mode));
}

bool SwitchNoticeWanted(SettingsStore& store) {
  return store.ReadDword(value_names::kShowSwitch).value_or(1) != 0;
}

bool SuppressSwitchNotice(SettingsStore& store) {
  return store.WriteDword(value_names::kShowSwitch, 0);
}

}  // namespace qvx::shell

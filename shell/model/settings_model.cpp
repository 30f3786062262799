// Loading and saving the tray program's preferences.
#include "shell/model/settings_model.h"

namespace qvx::shell {

namespace {

void ReadFlag(SettingsStore& store, const char* name, bool& flag) {
  if (auto v = store.ReadDword(name)) flag = *v != 0;
}

void ReadNumber(SettingsStore& store, const char* name, std::uint32_t largest,
                std::uint32_t& number) {
  if (auto v = store.ReadDword(name)) number = *v < largest ? *v : largest;
}

}  // namespace

SafetyOptions LoadSafetyOptions(SettingsStore& store) {
  SafetyOptions o;
  ReadFlag(store, value_names::kKeepClipboard, o.keep_clipboard);
  ReadNumber(store, value_names::kClearClipboardSeconds, SafetyOptions::kLongestClearSeconds,
             o.clear_clipboard_seconds);
  ReadNumber(store, value_names::kExtraKeyDelay, SafetyOptions::kLongestExtraDelayMs,
             o.extra_key_delay_ms);
  ReadFlag(store, value_names::kHideFromCapture, o.hide_from_capture);
  ReadFlag(store, value_names::kDirectAccess, o.direct_access);
  return o;
}

std::optional<std::uint32_t> ParseOptionNumber(std::string_view text, std::uint32_t largest) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > largest) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

Settings LoadSettings(SettingsStore& store) {
  Settings s;
  s.safety = LoadSafetyOptions(store);
  ReadFlag(store, value_names::kShowText, s.show_text);
  ReadFlag(store, value_names::kAutorun, s.autorun);
  if (auto v = store.ReadDword(value_names::kMode)) {
    s.mode = *v != 0 ? CryptoMode::Password : CryptoMode::RsaKeys;
  }
  ReadFlag(store, value_names::kLoginAtStartup, s.login_at_startup);
  if (auto v = store.ReadDword(value_names::kCryptoTextFormat)) {
    s.crypto_format = *v == 2 ? CryptoFormat::Hardened : CryptoFormat::Compatible;
  }
  for (std::size_t row = 0; row < kHotKeyCount; ++row) {
    if (auto v = store.ReadDword(ModifiersValueName(row))) s.hot_keys[row].modifiers = *v;
    if (auto v = store.ReadDword(KeyValueName(row))) s.hot_keys[row].key = KeyFromStoredValue(*v);
  }
  return s;
}

bool SaveSettings(SettingsStore& store, const Settings& s) {
  bool ok = store.WriteDword(value_names::kShowText, s.show_text ? 1 : 0);
  ok = store.WriteDword(value_names::kAutorun, s.autorun ? 1 : 0) && ok;
  ok = store.WriteDword(value_names::kLoginAtStartup, s.login_at_startup ? 1 : 0) && ok;
  for (std::size_t row = 0; row < kHotKeyCount; ++row) {
    ok = store.WriteDword(ModifiersValueName(row), s.hot_keys[row].modifiers) && ok;
    ok = store.WriteDword(KeyValueName(row), StoredKeyValue(s.hot_keys[row].key)) && ok;
  }
  const SafetyOptions& o = s.safety;
  ok = store.WriteDword(value_names::kKeepClipboard, o.keep_clipboard ? 1 : 0) && ok;
  ok = store.WriteDword(value_names::kClearClipboardSeconds, o.clear_clipboard_seconds) && ok;
  ok = store.WriteDword(value_names::kExtraKeyDelay, o.extra_key_delay_ms) && ok;
  ok = store.WriteDword(value_names::kHideFromCapture, o.hide_from_capture ? 1 : 0) && ok;
  ok = store.WriteDword(value_names::kDirectAccess, o.direct_access ? 1 : 0) && ok;
  ok = store.WriteDword(value_names::kCryptoTextFormat, static_cast<std::uint32_t>(s.crypto_format)) && ok;
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

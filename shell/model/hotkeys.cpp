// The hot-key table and the texts of key combinations.
#include "shell/model/hotkeys.h"

namespace qvx::shell {

const std::array<HotKeyAction, kHotKeyCount>& HotKeyActions() {
  // Rows 1 and 2 carry their hot-key ids the other way round from their order:
  // id 1 is "all window text", id 2 "selected text", whatever row shows them.
  static const std::array<HotKeyAction, kHotKeyCount> table = {{
      {"clipboard", Id(HotKeyId::Clipboard), Msg::HotKeyClipboard, false, 'A'},
      {"selected", Id(HotKeyId::Selection), Msg::HotKeySelected, false, 'S'},
      {"window", Id(HotKeyId::WholeWindow), Msg::HotKeyWindow, false, 'D'},
      {"switch", Id(HotKeyId::SwitchMode), Msg::HotKeySwitch, false, 'F'},
      {"password_manager", Id(HotKeyId::PasswordStorage), Msg::HotKeyPasswordStorage, false, 'Z'},
      {"sign", Id(HotKeyId::Sign), Msg::HotKeySign, true, 'Q'},
      {"verify", Id(HotKeyId::Verify), Msg::HotKeyVerify, true, 'W'},
      {"insert", Id(HotKeyId::InsertMyKey), Msg::HotKeyInsert, true, 'E'},
      {"get", Id(HotKeyId::GetOtherKey), Msg::HotKeyGet, true, 'R'},
  }};
  return table;
}

std::optional<std::size_t> RowOfHotKeyId(std::uint32_t hot_key_id) {
  const auto& table = HotKeyActions();
  for (std::size_t row = 0; row < table.size(); ++row) {
    if (table[row].hot_key_id == hot_key_id) return row;
  }
  return std::nullopt;
}

bool IsActiveIn(const HotKeyAction& action, CryptoMode mode) {
  return !action.rsa_only || mode == CryptoMode::RsaKeys;
}

HotKeySet DefaultHotKeys() {
  HotKeySet keys{};
  const auto& table = HotKeyActions();
  for (std::size_t row = 0; row < table.size(); ++row) {
    keys[row] = HotKey{kDefaultModifiers, static_cast<std::uint8_t>(table[row].default_key)};
  }
  return keys;
}

std::string KeyCharacter(std::uint32_t key) {
  const char c = static_cast<char>(key & 0xFF);
  return c == '\0' ? std::string() : std::string(1, c);
}

std::string CombinationText(const HotKey& hot_key) {
  static const struct {
    std::uint32_t bit;
    const char* name;
  } kNames[] = {{kModControl, "Ctrl"}, {kModAlt, "Alt"}, {kModShift, "Shift"}, {kModWin, "Win"}};
  std::string text;
  for (const auto& m : kNames) {
    if (hot_key.modifiers & m.bit) {
      text += m.name;
      text += " + ";
    }
  }
  return text + KeyCharacter(hot_key.key);
}

std::string HotKeyMenuText(std::string_view label, const HotKey& hot_key) {
  std::string text(label);
  text += '\t';
  return text + CombinationText(hot_key);
}

std::optional<std::uint32_t> KeyFromTyped(std::string_view text) {
  if (text.empty()) return std::nullopt;
  char c = text.front();
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<std::uint32_t>(c);
  return std::nullopt;
}

std::string ModifiersValueName(std::size_t row) {
  return std::string(HotKeyActions().at(row).name) + "_mod";
}

std::string KeyValueName(std::size_t row) {
  return std::string(HotKeyActions().at(row).name) + "_key";
}

std::uint32_t StoredKeyValue(std::uint32_t key) {
  const auto byte = static_cast<std::int8_t>(static_cast<std::uint8_t>(key & 0xFF));
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(byte));
}

std::uint32_t KeyFromStoredValue(std::uint32_t stored) { return stored & 0xFF; }

}  // namespace qvx::shell

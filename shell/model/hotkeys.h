// The nine hot-key actions of the tray program: their fixed table (registry
// name stem, hot-key id, label, RSA-only flag, default key) and the texts that
// show a key combination.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "qvx/strings.h"

namespace qvx::shell {

// The crypto mode; the numbers are those stored in "IsSimmetrick".
enum class CryptoMode : std::uint32_t { RsaKeys = 0, Password = 1 };

// RegisterHotKey modifier bits.
inline constexpr std::uint32_t kModAlt = 1;
inline constexpr std::uint32_t kModControl = 2;
inline constexpr std::uint32_t kModShift = 4;
inline constexpr std::uint32_t kModWin = 8;
inline constexpr std::uint32_t kDefaultModifiers = kModAlt | kModShift;

inline constexpr std::size_t kHotKeyCount = 9;

// The id of each action's hot key, given to RegisterHotKey and received in
// WM_HOTKEY; every binding names its key by this enum.
enum class HotKeyId : std::uint32_t {
  Clipboard = 0,
  WholeWindow = 1,
  Selection = 2,
  SwitchMode = 3,
  PasswordStorage = 4,
  Sign = 5,
  Verify = 6,
  InsertMyKey = 7,
  GetOtherKey = 8,
};
constexpr std::uint32_t Id(HotKeyId id) { return static_cast<std::uint32_t>(id); }

// One fixed row of the table. The row index is also the combo-box index in the
// Options dialog and the command id of the row's "Hot&keys view" entry.
struct HotKeyAction {
  const char* name;         // stem of the registry values name_mod / name_key
  std::uint32_t hot_key_id;   // id given to RegisterHotKey, received in WM_HOTKEY
  Msg label;                // string-table label
  bool rsa_only;             // registered only in RSA-keys mode
  char default_key;          // upper-case letter; modifiers default to Alt+Shift
};

const std::array<HotKeyAction, kHotKeyCount>& HotKeyActions();

// Row index of a hot-key id, or nullopt for an id outside the table.
std::optional<std::size_t> RowOfHotKeyId(std::uint32_t hot_key_id);

// True when the row's hot key is registered in that mode.
bool IsActiveIn(const HotKeyAction& action, CryptoMode mode);

// A key combination: modifier bits and the virtual-key code (for letters and
// digits the code equals the upper-case character).
struct HotKey {
  std::uint32_t modifiers = kDefaultModifiers;
  std::uint32_t key = 0;
  friend bool operator==(const HotKey& a, const HotKey& b) {
    return a.modifiers == b.modifiers && a.key == b.key;
  }
  friend bool operator!=(const HotKey& a, const HotKey& b) { return !(a == b); }
};

using HotKeySet = std::array<HotKey, kHotKeyCount>;

HotKeySet DefaultHotKeys();

// "Ctrl + Alt + Shift + Win + K" with only the set modifiers, in that order.
std::string CombinationText(const HotKey& hot_key);

// A "Hot&keys view" entry: the label, a tab, the combination.
std::string HotKeyMenuText(std::string_view label, const HotKey& hot_key);

// The key as the one character shown in the Options key edit.
std::string KeyCharacter(std::uint32_t key);

// The key for what the user typed into the key edit: its first character, upper
// case. Only letters and digits map to a virtual key of the same code, so any
// other character gives nullopt, as does an empty text.
std::optional<std::uint32_t> KeyFromTyped(std::string_view text);

// Registry value names of a row: name + "_mod" and name + "_key".
std::string ModifiersValueName(std::size_t row);
std::string KeyValueName(std::size_t row);

// Keys are stored as their character code taken as a signed byte and widened to
// 32 bits, so codes of 128 and above become negative numbers. Reading undoes it.
std::uint32_t StoredKeyValue(std::uint32_t key);
std::uint32_t KeyFromStoredValue(std::uint32_t stored);

}  // namespace qvx::shell

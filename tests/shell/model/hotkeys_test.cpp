// The hot-key table, the combination texts and the stored form of keys.
#include <gtest/gtest.h>

#include "shell/model/hotkeys.h"

namespace qvx::shell {
namespace {

TEST(HotKeyTable, RowsInOrderWithIdsLabelsAndDefaults) {
  struct Row {
    const char* name;
    std::uint32_t id;
    const char* label;
    bool rsa_only;
    char key;
  };
  const Row expected[] = {
      {"clipboard", 0, "Enrypt/Decrypt from clipboard", false, 'A'},
      {"selected", 2, "Encrypt/Decrypt selected window text", false, 'S'},
      {"window", 1, "Encrypt/Decrypt all window text", false, 'D'},
      {"switch", 3, "Switch to another cryptography mode", false, 'F'},
      {"password_manager", 4, "Password storage", false, 'Z'},
      {"sign", 5, "Sign window text", true, 'Q'},
      {"verify", 6, "Verify window text signature", true, 'W'},
      {"insert", 7, "Insert public key", true, 'E'},
      {"get", 8, "Get public key", true, 'R'},
  };
  const auto& table = HotKeyActions();
  const HotKeySet defaults = DefaultHotKeys();
  ASSERT_EQ(table.size(), std::size(expected));
  for (std::size_t row = 0; row < table.size(); ++row) {
    SCOPED_TRACE(row);
    EXPECT_STREQ(table[row].name, expected[row].name);
    EXPECT_EQ(table[row].hot_key_id, expected[row].id);
    EXPECT_STREQ(MessageText(table[row].label), expected[row].label);
    EXPECT_EQ(table[row].rsa_only, expected[row].rsa_only);
    EXPECT_EQ(defaults[row], (HotKey{kModAlt | kModShift, static_cast<std::uint32_t>(expected[row].key)}));
    EXPECT_EQ(RowOfHotKeyId(expected[row].id), row);
    EXPECT_EQ(ModifiersValueName(row), std::string(expected[row].name) + "_mod");
    EXPECT_EQ(KeyValueName(row), std::string(expected[row].name) + "_key");
  }
  EXPECT_EQ(RowOfHotKeyId(9), std::nullopt);
  EXPECT_EQ(RowOfHotKeyId(0xFFFFFFFFu), std::nullopt);
}

TEST(HotKeyTable, RsaOnlyRowsAreActiveOnlyInRsaKeysMode) {
  int password = 0, rsa = 0;
  for (const auto& action : HotKeyActions()) {
    password += IsActiveIn(action, CryptoMode::Password);
    rsa += IsActiveIn(action, CryptoMode::RsaKeys);
  }
  EXPECT_EQ(password, 5);
  EXPECT_EQ(rsa, 9);
}

TEST(HotKeyText, CombinationListsSetModifiersInFixedOrder) {
  const struct {
    std::uint32_t mods;
    std::uint32_t key;
    const char* text;
  } cases[] = {
      {kModAlt | kModShift, 'A', "Alt + Shift + A"},
      {0, 'K', "K"},
      {kModControl, '7', "Ctrl + 7"},
      {kModWin | kModControl, 'Z', "Ctrl + Win + Z"},
      {kModWin | kModShift | kModAlt | kModControl, 'Q', "Ctrl + Alt + Shift + Win + Q"},
      {kModShift | 0x4000, 'B', "Shift + B"},  // unknown bits are not shown
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CombinationText(HotKey{c.mods, c.key}), c.text);
  }
}

TEST(HotKeyText, MenuEntryIsLabelTabCombination) {
  EXPECT_EQ(HotKeyMenuText("Enrypt/Decrypt from clipboard", DefaultHotKeys()[0]),
            "Enrypt/Decrypt from clipboard\tAlt + Shift + A");
}

TEST(HotKeyKeys, TypedCharactersBecomeUpperCaseLettersAndDigits) {
  const struct {
    const char* typed;
    std::optional<std::uint32_t> key;
  } cases[] = {
      {"b", 'B'}, {"B", 'B'}, {"z", 'Z'}, {"0", '0'}, {"9", '9'}, {"xy", 'X'},
      {"", std::nullopt}, {",", std::nullopt}, {" ", std::nullopt}, {"\xE4", std::nullopt},
      {"-", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeyFromTyped(c.typed), c.key) << "typed \"" << c.typed << "\"";
  }
  EXPECT_EQ(KeyCharacter('R'), "R");
  EXPECT_EQ(KeyCharacter(0), "");
}

TEST(HotKeyKeys, StoredAsSignedByteWidened) {
  EXPECT_EQ(StoredKeyValue('A'), 0x41u);
  EXPECT_EQ(StoredKeyValue(0xC4), 0xFFFFFFC4u);
  EXPECT_EQ(StoredKeyValue(0x7F), 0x7Fu);
  EXPECT_EQ(StoredKeyValue(0x80), 0xFFFFFF80u);
  for (std::uint32_t key = 0; key < 256; ++key) {
    EXPECT_EQ(KeyFromStoredValue(StoredKeyValue(key)), key);
  }
}

}  // namespace
}  // namespace qvx::shell

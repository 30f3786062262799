// Loading and saving the tray program's settings. One test body runs against
// every settings store: the file store everywhere, and under Wine the registry
// key HKCU\Software\Koltharin\Quorvix itself (emptied before and after each
// test, so only inside the private Wine prefix of scripts/with-wine.sh).
#ifdef _WIN32
#include <windows.h>
#endif
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "shell/model/settings_model.h"
#include "tests/support/test_util.h"

namespace qvx::shell {
namespace {

struct StoreFactory {
  const char* name;
  // A store holding no values; "n" tells the calls of one test apart.
  std::function<std::unique_ptr<SettingsStore>(const test::TempDir&, int n)> make;
  bool registry;
};

void PrintTo(const StoreFactory& f, std::ostream* os) { *os << f.name; }

#ifdef _WIN32
void DeleteSettingsKey() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Koltharin\\Quorvix"); }
#endif

class SettingsModelTest : public testing::TestWithParam<StoreFactory> {
 protected:
  void SetUp() override {
    if (GetParam().registry) {
      if (std::getenv("QVX_WINE_SANDBOX") == nullptr) {
        GTEST_SKIP() << "registry store only inside scripts/with-wine.sh";
      }
#ifdef _WIN32
      DeleteSettingsKey();
#endif
    }
    store_ = Fresh();
  }
  std::unique_ptr<SettingsStore> Fresh() {
#ifdef _WIN32
    if (GetParam().registry) DeleteSettingsKey();
#endif
    return GetParam().make(dir_, ++made_);
  }
  void TearDown() override {
#ifdef _WIN32
    if (GetParam().registry && std::getenv("QVX_WINE_SANDBOX") != nullptr) DeleteSettingsKey();
#endif
  }
  test::TempDir dir_;
  int made_ = 0;
  std::unique_ptr<SettingsStore> store_;
};

TEST_P(SettingsModelTest, NothingStoredGivesTheDefaults) {
  const Settings s = LoadSettings(*store_);
  EXPECT_FALSE(s.show_text);
  EXPECT_TRUE(s.autorun);
  EXPECT_FALSE(s.login_at_startup);
  EXPECT_EQ(s.mode, CryptoMode::RsaKeys);
  const char keys[] = "ASDFZQWER";
  for (std::size_t row = 0; row < kHotKeyCount; ++row) {
    EXPECT_EQ(s.hot_keys[row], (HotKey{kModAlt | kModShift, static_cast<std::uint32_t>(keys[row])}));
  }
  EXPECT_TRUE(SwitchNoticeWanted(*store_));
  // The safety options default to the safe side.
  EXPECT_TRUE(s.safety.keep_clipboard);
  EXPECT_EQ(s.safety.clear_clipboard_seconds, 30u);
  EXPECT_EQ(s.safety.extra_key_delay_ms, 0u);
  EXPECT_TRUE(s.safety.hide_from_capture);
  EXPECT_TRUE(s.safety.direct_access);
}

TEST_P(SettingsModelTest, EachStoredValueOverridesOnlyItsOwnField) {
  const struct {
    const char* value;
    std::uint32_t number;
    std::function<void(Settings&)> expect;
  } cases[] = {
      {"ShowText", 1, [](Settings& s) { s.show_text = true; }},
      {"Autorun", 0, [](Settings& s) { s.autorun = false; }},
      {"LoginAtStartup", 1, [](Settings& s) { s.login_at_startup = true; }},
      {"IsSimmetrick", 1, [](Settings& s) { s.mode = CryptoMode::Password; }},
      {"window_mod", 2, [](Settings& s) { s.hot_keys[2].modifiers = kModControl; }},
      {"get_key", 'T', [](Settings& s) { s.hot_keys[8].key = 'T'; }},
      {"password_manager_mod", 0, [](Settings& s) { s.hot_keys[4].modifiers = 0; }},
      {"clipboard_key", 0xFFFFFFC4u, [](Settings& s) { s.hot_keys[0].key = 0xC4; }},
      {"KeepClipboard", 0, [](Settings& s) { s.safety.keep_clipboard = false; }},
      {"ClearClipboardSeconds", 0, [](Settings& s) { s.safety.clear_clipboard_seconds = 0; }},
      {"ClearClipboardSeconds", 2, [](Settings& s) { s.safety.clear_clipboard_seconds = 2; }},
      // Out-of-range stored numbers are clamped, never taken as they are.
      {"ClearClipboardSeconds", 0xFFFFFFFFu,
       [](Settings& s) { s.safety.clear_clipboard_seconds = 3600; }},
      {"ExtraKeyDelay", 750, [](Settings& s) { s.safety.extra_key_delay_ms = 750; }},
      {"ExtraKeyDelay", 5001, [](Settings& s) { s.safety.extra_key_delay_ms = 5000; }},
      {"HideFromCapture", 0, [](Settings& s) { s.safety.hide_from_capture = false; }},
      {"DirectAccess", 0, [](Settings& s) { s.safety.direct_access = false; }},
      {"DirectAccess", 7, [](Settings&) {}},
      {"CryptoTextFormat", 2, [](Settings& s) { s.crypto_format = CryptoFormat::Hardened; }},
      // Only 2 chooses the hardened format; anything else stays compatible.
      {"CryptoTextFormat", 1, [](Settings&) {}},
      {"CryptoTextFormat", 3, [](Settings&) {}},
      {"CryptoTextFormat", 0xFFFFFFFFu, [](Settings&) {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    store_ = Fresh();
    ASSERT_TRUE(store_->WriteDword(c.value, c.number));
    Settings expected;
    c.expect(expected);
    EXPECT_EQ(LoadSettings(*store_), expected);
  }
}

TEST_P(SettingsModelTest, SaveWritesTheNamedValuesAndLoadsBack) {
  Settings s;
  s.show_text = true;
  s.autorun = false;
  s.login_at_startup = true;
  s.mode = CryptoMode::Password;
  s.hot_keys[1] = HotKey{kModControl | kModWin, 'B'};
  s.hot_keys[7] = HotKey{0, '9'};
  s.hot_keys[5] = HotKey{kModAlt, 0xE9};
  s.safety = SafetyOptions{false, 0, 1200, false, false};
  s.crypto_format = CryptoFormat::Hardened;
  ASSERT_TRUE(SaveSettings(*store_, s));
  EXPECT_EQ(store_->ReadDword("CryptoTextFormat"), 2u);

  EXPECT_EQ(store_->ReadDword("ShowText"), 1u);
  EXPECT_EQ(store_->ReadDword("Autorun"), 0u);
  EXPECT_EQ(store_->ReadDword("LoginAtStartup"), 1u);
  EXPECT_EQ(store_->ReadDword("selected_mod"), 10u);
  EXPECT_EQ(store_->ReadDword("selected_key"), static_cast<std::uint32_t>('B'));
  EXPECT_EQ(store_->ReadDword("insert_mod"), 0u);
  EXPECT_EQ(store_->ReadDword("insert_key"), static_cast<std::uint32_t>('9'));
  EXPECT_EQ(store_->ReadDword("sign_key"), 0xFFFFFFE9u);
  EXPECT_EQ(store_->ReadDword("clipboard_mod"), 5u);
  EXPECT_EQ(store_->ReadDword("get_key"), static_cast<std::uint32_t>('R'));
  EXPECT_EQ(store_->ReadDword("KeepClipboard"), 0u);
  EXPECT_EQ(store_->ReadDword("ClearClipboardSeconds"), 0u);
  EXPECT_EQ(store_->ReadDword("ExtraKeyDelay"), 1200u);
  EXPECT_EQ(store_->ReadDword("HideFromCapture"), 0u);
  EXPECT_EQ(store_->ReadDword("DirectAccess"), 0u);
  EXPECT_EQ(LoadSafetyOptions(*store_), s.safety);
  // The mode is saved at each switch, not with the other settings.
  EXPECT_FALSE(store_->ReadDword("IsSimmetrick"));

  Settings loaded = LoadSettings(*store_);
  EXPECT_EQ(loaded.mode, CryptoMode::RsaKeys);
  loaded.mode = CryptoMode::Password;
  EXPECT_EQ(loaded, s);
}

TEST_P(SettingsModelTest, ModeAndSwitchNotice) {
  ASSERT_TRUE(SaveMode(*store_, CryptoMode::Password));
  EXPECT_EQ(store_->ReadDword("IsSimmetrick"), 1u);
  EXPECT_EQ(LoadSettings(*store_).mode, CryptoMode::Password);
  ASSERT_TRUE(SaveMode(*store_, CryptoMode::RsaKeys));
  EXPECT_EQ(store_->ReadDword("IsSimmetrick"), 0u);
  EXPECT_EQ(LoadSettings(*store_).mode, CryptoMode::RsaKeys);

  EXPECT_TRUE(SwitchNoticeWanted(*store_));
  ASSERT_TRUE(SuppressSwitchNotice(*store_));
  EXPECT_EQ(store_->ReadDword("show_switch"), 0u);
  EXPECT_FALSE(SwitchNoticeWanted(*store_));
  ASSERT_TRUE(store_->WriteDword("show_switch", 7));
  EXPECT_TRUE(SwitchNoticeWanted(*store_));
}

TEST(OptionNumber, AcceptsWholeNumbersInRangeOnly) {
  const struct {
    const char* text;
    std::optional<std::uint32_t> expected;
  } cases[] = {
      {"0", 0u},         {"30", 30u},     {" 45 ", 45u},         {"5000", 5000u},
      {"5001", {}},      {"", {}},        {"  ", {}},            {"-1", {}},
      {"1.5", {}},       {"1e3", {}},     {"12a", {}},           {"+7", {}},
      {"99999999999999999999", {}},       {"0005", 5u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseOptionNumber(c.text, 5000), c.expected);
  }
}

std::vector<StoreFactory> Stores() {
  std::vector<StoreFactory> stores = {
      {"file",
       [](const test::TempDir& d, int n) {
         return OpenFileSettings(d.File("settings" + std::to_string(n)));
       },
       false},
  };
#ifdef _WIN32
  stores.push_back(
      {"registry", [](const test::TempDir&, int) { return OpenUserSettings(); }, true});
#endif
  return stores;
}

INSTANTIATE_TEST_SUITE_P(AllStores, SettingsModelTest, testing::ValuesIn(Stores()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qvx::shell

// The Options dialog end to end under Wine: what it shows, how a changed hot
// key reaches the registry, the registered hot keys and "Hot&keys view", and
// Cancel.
#include "tests/support/e2e/e2e.h"

namespace qvx::e2e {
namespace {

constexpr UINT kAltShift = MOD_ALT | MOD_SHIFT;
constexpr int kShowText = 1005, kAutorun = 1015, kLogin = 1033, kAction = 1007, kKey = 1002;
constexpr int kCtrl = 1008, kAlt = 1009, kShift = 1010, kWin = 1011;
constexpr int kFormatCompatible = 1444, kFormatHardened = 1445;

class Options : public QuorvixTest {
 protected:
  void StartApp() {
    app_ = Quorvix::Launch();
    ASSERT_NE(app_.WaitMainWindow(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return app_.TrayIconPresent(); }));
    ASSERT_TRUE(WaitUntil([] { return HotKeyTaken(kAltShift, 'A'); }));
  }
  DialogDriver Open(const std::string& what = "options") {
    app_.DoubleClickTray();
    return app_.WaitForDialog("Options", what);
  }
  // Types a key into the one-letter edit as a user would: click, then the key.
  // Under Wine a click right after the dialog came forward is now and then
  // lost: it is made again.
  static void TypeKey(const DialogDriver& dialog, WORD key) {
    const auto focused = [&] { return FocusOf(dialog.hwnd()) == dialog.Control(kKey); };
    for (int attempt = 0; attempt < 3 && !focused(); ++attempt) {
      BringToForeground(dialog.hwnd());
      ClickAt(dialog.CenterOf(kKey));
      WaitUntil(focused, 3000);
    }
    ASSERT_TRUE(focused());
    PressKey(key);
  }
  std::string HotKeysViewEntry(std::size_t row) {
    HWND menu = app_.OpenTrayMenu("menu-after-options");
    EXPECT_NE(menu, nullptr);
    const auto entries = SubmenuItems(ReadPopupMenu(menu), "Hot&keys view");
    EndMenus(menu);
    WaitGone(menu);
    return row < entries.size() ? entries[row].text : std::string();
  }
  Quorvix app_;
};

TEST_F(Options, ShowsTheDefaultsAndAllNineRowsInBothModes) {
  for (DWORD mode : {0u, 1u}) {
    SCOPED_TRACE(mode);
    ResetQuorvixState();
    ASSERT_TRUE(settings::WriteDword("IsSimmetrick", mode));
    StartApp();
    DialogDriver d = Open(mode ? "password-mode" : "rsa-mode");
    ASSERT_TRUE(d);
    EXPECT_FALSE(d.Checked(kShowText));
    EXPECT_TRUE(d.Checked(kAutorun));
    EXPECT_FALSE(d.Checked(kLogin));
    EXPECT_EQ(d.Text(kShowText), "Show original text before encryption/signing");
    EXPECT_EQ(d.Text(kAutorun), "Launch program at startup");
    EXPECT_EQ(d.Text(kLogin), "Login password storage at Quorvix start");
    EXPECT_EQ(d.ComboItems(kAction),
              (std::vector<std::string>{"Enrypt/Decrypt from clipboard",
                                        "Encrypt/Decrypt selected window text",
                                        "Encrypt/Decrypt all window text",
                                        "Switch to another cryptography mode", "Password storage",
                                        "Sign window text", "Verify window text signature",
                                        "Insert public key", "Get public key"}));
    const char keys[] = "ASDFZQWER";
    for (int row = 0; row < 9; ++row) {
      d.SelectCombo(kAction, row);
      EXPECT_TRUE(WaitUntil([&] { return d.Text(kKey) == std::string(1, keys[row]); })) << row;
      EXPECT_TRUE(d.Checked(kAlt) && d.Checked(kShift) && !d.Checked(kCtrl) && !d.Checked(kWin));
    }
    d.Click(IDCANCEL);
    ASSERT_TRUE(WaitGone(d.hwnd()));
    EXPECT_FALSE(settings::KeyExists() && settings::ReadDword("ShowText").has_value());
    EXPECT_EQ(app_.Exit(), 1u);
  }
}

TEST_F(Options, ChangedHotKeyIsSavedRegisteredAndListed) {
  StartApp();
  DialogDriver d = Open();
  ASSERT_TRUE(d);
  ASSERT_TRUE(d.SetChecked(kShift, false));
  ASSERT_TRUE(d.SetChecked(kCtrl, true));
  TypeKey(d, 'B');  // typed as "b"; the edit makes it upper case
  ASSERT_TRUE(WaitUntil([&] { return d.Text(kKey) == "B"; })) << d.Text(kKey);
  SaveScreenshot(d.hwnd(), "edited");
  d.Click(IDOK);
  ASSERT_TRUE(WaitGone(d.hwnd()));

  // OK writes the whole set; wait until it is all there.
  const char* const kRows[] = {"clipboard", "selected", "window", "switch", "password_manager",
                               "sign", "verify", "insert", "get"};
  EXPECT_TRUE(WaitUntil([&] {
    for (const char* row : kRows) {
      if (!settings::ReadDword(std::string(row) + "_mod") ||
          !settings::ReadDword(std::string(row) + "_key")) {
        return false;
      }
    }
    return true;
  }));
  EXPECT_EQ(settings::ReadDword("clipboard_key"), DWORD{'B'});
  EXPECT_EQ(settings::ReadDword("clipboard_mod"), DWORD{MOD_ALT | MOD_CONTROL});
  EXPECT_EQ(settings::ReadDword("ShowText"), 0u);
  EXPECT_EQ(settings::ReadDword("Autorun"), 1u);
  EXPECT_EQ(settings::ReadDword("LoginAtStartup"), 0u);
  const char keys[] = "ASDFZQWER";
  for (int row = 1; row < 9; ++row) {
    EXPECT_EQ(settings::ReadDword(std::string(kRows[row]) + "_mod"), 5u) << kRows[row];
    EXPECT_EQ(settings::ReadDword(std::string(kRows[row]) + "_key"), DWORD(keys[row])) << kRows[row];
  }
  EXPECT_FALSE(settings::ReadDword("IsSimmetrick").has_value());

  ASSERT_TRUE(app_.Settle());
  EXPECT_TRUE(WaitUntil([] { return HotKeyTaken(MOD_ALT | MOD_CONTROL, 'B'); }));
  EXPECT_FALSE(HotKeyTaken(kAltShift, 'A'));
  EXPECT_EQ(HotKeysViewEntry(0), "Enrypt/Decrypt from clipboard\tCtrl + Alt + B");

  // The next start reads the changed key back.
  EXPECT_EQ(app_.Exit(), 1u);
  Quorvix again = Quorvix::Launch();
  ASSERT_NE(again.WaitMainWindow(), nullptr);
  EXPECT_TRUE(WaitUntil([] { return HotKeyTaken(MOD_ALT | MOD_CONTROL, 'B'); }));
  EXPECT_FALSE(HotKeyTaken(kAltShift, 'A'));
  EXPECT_EQ(again.Exit(), 1u);
}

TEST_F(Options, CancelRestoresEveryRow) {
  StartApp();
  DialogDriver d = Open();
  ASSERT_TRUE(d);
  ASSERT_TRUE(d.SetChecked(kWin, true));
  TypeKey(d, 'K');
  ASSERT_TRUE(WaitUntil([&] { return d.Text(kKey) == "K"; }));
  d.SelectCombo(kAction, 6);
  ASSERT_TRUE(WaitUntil([&] { return d.Text(kKey) == "W"; }));
  ASSERT_TRUE(d.SetChecked(kAlt, false));
  ASSERT_TRUE(d.SetChecked(kShowText, true));
  d.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(d.hwnd()));
  EXPECT_FALSE(settings::KeyExists());
  EXPECT_TRUE(HotKeyTaken(kAltShift, 'A'));
  EXPECT_FALSE(HotKeyTaken(MOD_ALT | MOD_SHIFT | MOD_WIN, 'K'));

  d = Open("reopened");
  ASSERT_TRUE(d);
  EXPECT_EQ(d.Text(kKey), "A");
  EXPECT_FALSE(d.Checked(kWin));
  EXPECT_FALSE(d.Checked(kShowText));
  d.SelectCombo(kAction, 6);
  ASSERT_TRUE(WaitUntil([&] { return d.Text(kKey) == "W"; }));
  EXPECT_TRUE(d.Checked(kAlt));
  PostMessageA(d.hwnd(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(d.hwnd()));
  EXPECT_EQ(HotKeysViewEntry(0), "Enrypt/Decrypt from clipboard\tAlt + Shift + A");
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(Options, KeyEditAcceptsOnlyLettersAndDigits) {
  StartApp();
  DialogDriver d = Open();
  ASSERT_TRUE(d);
  d.SetText(kKey, "");  // clearing keeps the key
  d.SetText(kKey, "%");
  EXPECT_TRUE(WaitUntil([&] { return d.Text(kKey) == "A"; })) << d.Text(kKey);
  d.SetText(kKey, "7");
  d.Click(IDOK);
  ASSERT_TRUE(WaitGone(d.hwnd()));
  EXPECT_TRUE(WaitUntil([] { return settings::ReadDword("clipboard_key") == DWORD{'7'}; }));
  ASSERT_TRUE(app_.Settle());
  EXPECT_TRUE(WaitUntil([] { return HotKeyTaken(kAltShift, '7'); }));
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(Options, FlagsAreSavedOnOk) {
  StartApp();
  DialogDriver d = Open();
  ASSERT_TRUE(d);
  ASSERT_TRUE(d.SetChecked(kShowText, true));
  ASSERT_TRUE(d.SetChecked(kAutorun, false));
  ASSERT_TRUE(d.SetChecked(kLogin, true));
  d.Click(IDOK);
  ASSERT_TRUE(WaitGone(d.hwnd()));
  EXPECT_TRUE(WaitUntil([] {
    return settings::ReadDword("ShowText") == 1u && settings::ReadDword("Autorun") == 0u &&
           settings::ReadDword("LoginAtStartup") == 1u;
  }));
  EXPECT_EQ(app_.Exit(), 1u);
  // Autorun off now ends an autostarted instance at once.
  Quorvix autostarted = Quorvix::Launch("regrun");
  EXPECT_EQ(autostarted.process().WaitExit(), 0u);
}

TEST_F(Options, CryptoTextFormatIsCompatibleUntilHardenedIsChosen) {
  StartApp();
  DialogDriver d = Open();
  ASSERT_TRUE(d);
  EXPECT_TRUE(d.Checked(kFormatCompatible));
  EXPECT_FALSE(d.Checked(kFormatHardened));
  // A click on one radio button clears the other.
  ASSERT_TRUE(d.SetChecked(kFormatHardened, true));
  EXPECT_FALSE(d.Checked(kFormatCompatible));
  d.Click(IDOK);
  ASSERT_TRUE(WaitGone(d.hwnd()));
  EXPECT_TRUE(WaitUntil([] { return settings::ReadDword("CryptoTextFormat") == 2u; }));
  // Shown as stored the next time.
  DialogDriver again = Open("options-again");
  ASSERT_TRUE(again);
  EXPECT_TRUE(again.Checked(kFormatHardened));
  EXPECT_FALSE(again.Checked(kFormatCompatible));
  again.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(again.hwnd()));
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(Options, RsaOnlyKeysAreSavedInPasswordModeAndRegisteredAfterTheSwitch) {
  ASSERT_TRUE(settings::WriteDword("IsSimmetrick", 1));
  ASSERT_TRUE(settings::WriteDword("show_switch", 0));
  StartApp();
  DialogDriver d = Open();
  ASSERT_TRUE(d);
  d.SelectCombo(kAction, 5);
  ASSERT_TRUE(WaitUntil([&] { return d.Text(kKey) == "Q"; }));
  d.SetText(kKey, "K");
  d.Click(IDOK);
  ASSERT_TRUE(WaitGone(d.hwnd()));
  EXPECT_TRUE(WaitUntil([] { return settings::ReadDword("sign_key") == DWORD{'K'}; }));
  // The keys of the mode are registered again after saving.
  ASSERT_TRUE(app_.Settle());
  ASSERT_TRUE(WaitUntil([] { return HotKeyTaken(kAltShift, 'F'); }));
  EXPECT_FALSE(HotKeyTaken(kAltShift, 'K'));
  PressAltShiftHotKey('F');
  EXPECT_TRUE(WaitUntil([] { return settings::ReadDword("IsSimmetrick") == 0u; }));
  EXPECT_TRUE(WaitUntil([] { return HotKeyTaken(kAltShift, 'K'); }));
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(Options, CombinationTakenElsewhereIsReported) {
  StartApp();
  // This test program holds Alt+Shift+K itself.
  ASSERT_TRUE(RegisterHotKey(nullptr, 0x1234, kAltShift, 'K'));
  DialogDriver d = Open();
  ASSERT_TRUE(d);
  d.SetText(kKey, "K");
  d.Click(IDOK);
  const MessageBoxInfo box = WaitForMessageBox(app_.pid(), "hotkey-taken");
  ASSERT_TRUE(box);
  EXPECT_NE(box.text.find("Enrypt/Decrypt from clipboard (Alt + Shift + K)"), std::string::npos)
      << box.text;
  AnswerMessageBox(box);
  UnregisterHotKey(nullptr, 0x1234);
  // Saved all the same: the key works once the other program lets it go.
  EXPECT_EQ(settings::ReadDword("clipboard_key"), DWORD{'K'});
  EXPECT_EQ(app_.Exit(), 1u);
}

}  // namespace
}  // namespace qvx::e2e

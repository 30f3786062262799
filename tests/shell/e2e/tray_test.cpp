// The tray icon's menus and the mode switch, end to end under Wine: menu
// contents and gray entries, "Hot&keys view", the switch from the menu and by
// hot key with its notice, double click, Help, About, and the commands that
// this version cannot run yet.
#include "tests/support/e2e/e2e.h"

namespace qvx::e2e {
namespace {

constexpr UINT kAltShift = MOD_ALT | MOD_SHIFT;
constexpr int kIconRsa = 119;
constexpr int kIconPassword = 131;
constexpr int kNoticeNever = 1005;
constexpr int kOptionsAction = 1007;

struct Entry {
  const char* text;
  UINT id;
  bool grayed;
};
constexpr UINT kSub = 0xFFFFFFFFu;

void ExpectMenu(const std::vector<MenuItem>& items, const std::vector<Entry>& expected) {
  ASSERT_EQ(items.size(), expected.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(expected[i].text);
    EXPECT_EQ(items[i].text, expected[i].text);
    if (!items[i].separator) {
      EXPECT_EQ(items[i].id, expected[i].id);
    }
    EXPECT_EQ(items[i].grayed, expected[i].grayed);
  }
}

std::vector<std::string> Texts(const std::vector<MenuItem>& items) {
  std::vector<std::string> texts;
  for (const auto& i : items) texts.push_back(i.text);
  return texts;
}

std::vector<UINT> Ids(const std::vector<MenuItem>& items) {
  std::vector<UINT> ids;
  for (const auto& i : items) ids.push_back(i.id);
  return ids;
}

const std::vector<std::string> kAllHotKeyEntries = {
    "Enrypt/Decrypt from clipboard\tAlt + Shift + A",
    "Encrypt/Decrypt selected window text\tAlt + Shift + S",
    "Encrypt/Decrypt all window text\tAlt + Shift + D",
    "Switch to another cryptography mode\tAlt + Shift + F",
    "Password storage\tAlt + Shift + Z",
    "Sign window text\tAlt + Shift + Q",
    "Verify window text signature\tAlt + Shift + W",
    "Insert public key\tAlt + Shift + E",
    "Get public key\tAlt + Shift + R",
};

class Tray : public QuorvixTest {
 protected:
  Quorvix Start() {
    Quorvix app = Quorvix::Launch();
    EXPECT_NE(app.WaitMainWindow(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return app.TrayIconPresent(); }));
    return app;
  }
  // Chooses a top-level entry of the tray menu.
  static void Choose(Quorvix& app, const std::string& text) {
    HWND menu = app.OpenTrayMenu("menu");
    ASSERT_NE(menu, nullptr);
    const auto items = SubmenuItems(ReadPopupMenu(menu), "");
    const MenuItem* item = FindMenuItem(items, text);
    ASSERT_NE(item, nullptr) << text;
    ASSERT_FALSE(item->grayed) << text;
    ClickMenuItem(*item);
    EXPECT_TRUE(WaitGone(menu));
  }
  static bool RsaKeysRegistered(bool registered) {
    return WaitUntil([&] {
      for (UINT k : {'Q', 'W', 'E', 'R'}) {
        if (HotKeyTaken(kAltShift, k) != registered) return false;
      }
      return true;
    });
  }
};

TEST_F(Tray, RsaKeysMenuShowsItsEntriesWithUnboundCommandsGrayed) {
  Quorvix app = Start();
  HWND menu = app.OpenTrayMenu();
  ASSERT_NE(menu, nullptr);
  const auto all = ReadPopupMenu(menu);
  ExpectMenu(SubmenuItems(all, ""), {
                                        {"Encrypt/Decrypt", kSub, false},
                                        {"Sign", kSub, false},
                                        {"Verify", kSub, false},
                                        {"Insert my public key", kSub, false},
                                        {"Read other key", kSub, false},
                                        {"", 0, false},
                                        {"&Keys managment", 40056, false},
                                        {"&Passwords storage", 40067, false},
                                        {"Hot&keys view", kSub, false},
                                        {"", 0, false},
                                        {"&Switch to password mode", 40053, false},
                                        {"&Options...", 40003, false},
                                        {"&Help", 40001, false},
                                        {"A&bout", 40010, false},
                                        {"&Exit", 40011, false},
                                    });
  ExpectMenu(SubmenuItems(all, "Encrypt/Decrypt"),
             {{"Encrypt/Decrypt &all window text", 40055, false},
              {"Encrypt/Decrypt &selected window text", 40054, false},
              {"Encrypt/Decrypt &from clipboard", 40071, false}});
  ExpectMenu(SubmenuItems(all, "Sign"),
             {{"S&ign window text", 40057, false}, {"S&ign clipboard text", 40074, false}});
  ExpectMenu(SubmenuItems(all, "Verify"), {{"V&erify window text signature", 40058, false},
                                           {"V&erify clipboard text", 40075, false}});
  ExpectMenu(SubmenuItems(all, "Insert my public key"),
             {{"&Insert my public key into active window", 40050, false},
              {"&Insert my public key into clipboard", 40076, false}});
  ExpectMenu(SubmenuItems(all, "Read other key"),
             {{"&Get other key from active window", 40051, false},
              {"&Get other key from clipboard", 40077, false}});
  const MenuItem* options = FindMenuItem(all, "&Options...");
  ASSERT_NE(options, nullptr);
  EXPECT_TRUE(options->is_default);

  const auto hot_keys = SubmenuItems(all, "Hot&keys view");
  EXPECT_EQ(Texts(hot_keys), kAllHotKeyEntries);
  EXPECT_EQ(Ids(hot_keys), (std::vector<UINT>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EndMenus(menu);
  EXPECT_TRUE(WaitGone(menu));
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Tray, PasswordModeMenuIconAndHotKeys) {
  ASSERT_TRUE(settings::WriteDword("IsSimmetrick", 1));
  Quorvix app = Start();
  EXPECT_TRUE(WaitUntil([&] { return app.TaskbarShowsIcon(kIconPassword); }));
  EXPECT_FALSE(app.TaskbarShowsIcon(kIconRsa));
  for (UINT k : {'A', 'S', 'D', 'F', 'Z'}) {
    EXPECT_TRUE(WaitUntil([&] { return HotKeyTaken(kAltShift, k); })) << static_cast<char>(k);
  }
  EXPECT_TRUE(RsaKeysRegistered(false));

  HWND menu = app.OpenTrayMenu();
  ASSERT_NE(menu, nullptr);
  const auto all = ReadPopupMenu(menu);
  ExpectMenu(SubmenuItems(all, ""), {
                                        {"Encrypt/Decrypt", kSub, false},
                                        {"", 0, false},
                                        {"&Password storage...", 40067, false},
                                        {"Hot&keys view", kSub, false},
                                        {"", 0, false},
                                        {"&Switch to RSA-keys mode", 40052, false},
                                        {"&Options...", 40003, false},
                                        {"&Help", 40001, false},
                                        {"A&bout", 40010, false},
                                        {"&Exit", 40011, false},
                                    });
  const auto hot_keys = SubmenuItems(all, "Hot&keys view");
  EXPECT_EQ(Texts(hot_keys),
            std::vector<std::string>(kAllHotKeyEntries.begin(), kAllHotKeyEntries.begin() + 5));
  EXPECT_EQ(Ids(hot_keys), (std::vector<UINT>{0, 1, 2, 3, 4}));
  EndMenus(menu);
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Tray, HotKeysViewEntryOpensOptionsAtItsRow) {
  Quorvix app = Start();
  HWND menu = app.OpenTrayMenu();
  ASSERT_NE(menu, nullptr);
  const auto top = SubmenuItems(ReadPopupMenu(menu), "");
  const MenuItem* view = FindMenuItem(top, "Hot&keys view");
  ASSERT_NE(view, nullptr);
  const std::vector<HWND> shown = PopupMenuWindows(app.pid());
  ClickMenuItem(*view);
  HWND submenu = WaitForNewPopupMenu(app.pid(), shown);
  ASSERT_NE(submenu, nullptr);
  SaveScreenshot(nullptr, "hotkeys-view");
  const auto entries = ReadPopupMenu(submenu);
  const MenuItem* sign = FindMenuItem(entries, "Sign window text\tAlt + Shift + Q");
  ASSERT_NE(sign, nullptr);
  ClickMenuItem(*sign);
  DialogDriver options = app.WaitForDialog("Options", "options-sign-row");
  ASSERT_TRUE(options);
  EXPECT_EQ(options.ComboSelection(kOptionsAction), 5);
  EXPECT_EQ(options.Text(1002), "Q");
  options.Click(IDCANCEL);
  EXPECT_TRUE(WaitGone(options.hwnd()));
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Tray, DoubleClickOpensOptionsAtTheFirstRow) {
  Quorvix app = Start();
  app.DoubleClickTray();
  DialogDriver options = app.WaitForDialog("Options", "options");
  ASSERT_TRUE(options);
  EXPECT_EQ(options.ComboSelection(kOptionsAction), 0);
  EXPECT_EQ(options.Text(1002), "A");
  EXPECT_TRUE(options.Checked(1009));   // Alt
  EXPECT_TRUE(options.Checked(1010));   // Shift
  EXPECT_FALSE(options.Checked(1008));  // Ctrl
  EXPECT_FALSE(options.Checked(1011));  // Win
  // A second double click brings the same dialog forward instead of opening a
  // second one (which, being modal, would keep this call from returning).
  DWORD_PTR ignored = 0;
  EXPECT_TRUE(SendMessageTimeoutA(app.main(), TrayCallbackMessage(), 0, WM_LBUTTONDBLCLK,
                                  SMTO_ABORTIFHUNG, 5000, &ignored));
  WindowMatch match;
  match.pid = app.pid();
  match.title = "Options";
  EXPECT_EQ(TopLevelWindows(match).size(), 1u);
  options.Click(IDCANCEL);
  EXPECT_TRUE(WaitGone(options.hwnd()));
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Tray, SwitchFromTheMenuShowsTheNoticeAndSwapsIconMenuAndHotKeys) {
  Quorvix app = Start();
  ASSERT_TRUE(RsaKeysRegistered(true));
  Choose(app, "&Switch to password mode");
  DialogDriver notice = app.WaitForDialog("Quorvix", "notice-password", kNoticeNever);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice.Text(kNoticeNever), "Never show \"switch mode \" messages");
  EXPECT_FALSE(notice.Checked(kNoticeNever));
  notice.Click(IDOK);
  ASSERT_TRUE(WaitGone(notice.hwnd()));

  EXPECT_TRUE(WaitUntil([] { return settings::ReadDword("IsSimmetrick") == 1u; }));
  EXPECT_TRUE(app.Settle());
  EXPECT_TRUE(WaitUntil([&] { return app.TaskbarShowsIcon(kIconPassword); }));
  EXPECT_TRUE(RsaKeysRegistered(false));
  EXPECT_TRUE(HotKeyTaken(kAltShift, 'A'));
  EXPECT_EQ(settings::ReadDword("show_switch"), std::nullopt);

  HWND menu = app.OpenTrayMenu("password-menu");
  ASSERT_NE(menu, nullptr);
  EXPECT_NE(FindMenuItem(ReadPopupMenu(menu), "&Switch to RSA-keys mode"), nullptr);
  EndMenus(menu);
  ASSERT_TRUE(WaitGone(menu));

  Choose(app, "&Switch to RSA-keys mode");
  notice = app.WaitForDialog("Quorvix", "notice-rsa", kNoticeNever);
  ASSERT_TRUE(notice);
  notice.Click(IDOK);
  EXPECT_TRUE(WaitUntil([] { return settings::ReadDword("IsSimmetrick") == 0u; }));
  EXPECT_TRUE(app.Settle());
  EXPECT_TRUE(WaitUntil([&] { return app.TaskbarShowsIcon(kIconRsa); }));
  EXPECT_TRUE(RsaKeysRegistered(true));
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Tray, SwitchHotKeyTogglesWithoutNoticeWhenTurnedOff) {
  ASSERT_TRUE(settings::WriteDword("show_switch", 0));
  Quorvix app = Start();
  ASSERT_TRUE(RsaKeysRegistered(true));
  for (DWORD expected : {1u, 0u, 1u}) {
    PressAltShiftHotKey('F');
    ASSERT_TRUE(WaitUntil([&] { return settings::ReadDword("IsSimmetrick") == expected; }))
        << "mode " << expected;
    ASSERT_TRUE(app.Settle());
    EXPECT_TRUE(WaitUntil([&] {
      return app.TaskbarShowsIcon(expected == 1 ? kIconPassword : kIconRsa);
    }));
    EXPECT_TRUE(RsaKeysRegistered(expected == 0));
    WindowMatch dialogs;
    dialogs.pid = app.pid();
    dialogs.class_name = "#32770";
    EXPECT_TRUE(TopLevelWindows(dialogs).empty());
  }
  SaveScreenshot(nullptr, "desktop-password-mode");
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Tray, NoticeCheckBoxTurnsTheNoticeOff) {
  Quorvix app = Start();
  PressAltShiftHotKey('F');
  DialogDriver notice = app.WaitForDialog("Quorvix", "notice", kNoticeNever);
  ASSERT_TRUE(notice);
  ASSERT_TRUE(notice.SetChecked(kNoticeNever, true));
  notice.Click(IDOK);
  ASSERT_TRUE(WaitGone(notice.hwnd()));
  EXPECT_EQ(settings::ReadDword("show_switch"), 0u);
  EXPECT_TRUE(WaitUntil([] { return settings::ReadDword("IsSimmetrick") == 1u; }));
  EXPECT_TRUE(app.Settle());

  PressAltShiftHotKey('F');
  EXPECT_TRUE(WaitUntil([] { return settings::ReadDword("IsSimmetrick") == 0u; }));
  WindowMatch dialogs;
  dialogs.pid = app.pid();
  dialogs.class_name = "#32770";
  EXPECT_TRUE(TopLevelWindows(dialogs).empty());
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Tray, ClosingTheNoticeStillSwitchesButIgnoresTheCheckBox) {
  Quorvix app = Start();
  Choose(app, "&Switch to password mode");
  DialogDriver notice = app.WaitForDialog("Quorvix", "notice", kNoticeNever);
  ASSERT_TRUE(notice);
  ASSERT_TRUE(notice.SetChecked(kNoticeNever, true));
  PostMessageA(notice.hwnd(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(notice.hwnd()));
  EXPECT_TRUE(WaitUntil([] { return settings::ReadDword("IsSimmetrick") == 1u; }));
  EXPECT_EQ(settings::ReadDword("show_switch"), std::nullopt);
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Tray, HelpWithoutItsFileSaysSo) {
  Quorvix app = Start();
  Choose(app, "&Help");
  const MessageBoxInfo box = WaitForMessageBox(app.pid(), "help-missing");
  ASSERT_TRUE(box);
  EXPECT_EQ(box.title, "Quorvix");
  EXPECT_EQ(box.text.rfind("The help file was not found:\n", 0), 0u) << box.text;
  EXPECT_NE(box.text.find("\\QVX Help.chm"), std::string::npos) << box.text;
  AnswerMessageBox(box);
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Tray, AboutShowsNameAndVersion) {
  Quorvix app = Start();
  Choose(app, "A&bout");
  DialogDriver about = app.WaitForDialog("About Quorvix", "about");
  ASSERT_TRUE(about);
  EXPECT_EQ(about.Text(1021), "Version 1.0");
  about.Click(IDOK);
  EXPECT_TRUE(WaitGone(about.hwnd()));
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Tray, CommandsOutsideTheTableAreIgnored) {
  Quorvix app = Start();
  SendMessageTimeoutA(app.main(), WM_COMMAND, 40002, 0, SMTO_ABORTIFHUNG, 10000, nullptr);
  SendMessageTimeoutA(app.main(), WM_COMMAND, 40062, 0, SMTO_ABORTIFHUNG, 10000, nullptr);
  EXPECT_FALSE(FindMessageBox(app.pid()));
  EXPECT_TRUE(TopLevelWindows({app.pid(), "#32770", ""}).empty());
  EXPECT_EQ(app.Exit(), 1u);
}

}  // namespace
}  // namespace qvx::e2e

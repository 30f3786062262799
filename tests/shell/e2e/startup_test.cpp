// Quorvix.exe start-up and exit, end to end under Wine: the tray icon, the hot
// keys of the mode, one instance per desktop, the command-line arguments, and
// the icon coming back when Explorer restarts.
#include <windows.h>
#include <shellapi.h>

#include "tests/support/e2e/e2e.h"

namespace qvx::e2e {
namespace {

constexpr UINT kAltShift = MOD_ALT | MOD_SHIFT;
constexpr char kAllKeys[] = "ASDFZQWER";
constexpr int kIconRsa = 119;
constexpr int kIconPassword = 131;

class Startup : public QuorvixTest {};

TEST_F(Startup, AddsTheTrayIconAndRegistersTheDefaultHotKeys) {
  ASSERT_FALSE(settings::KeyExists());
  Quorvix app = Quorvix::Launch();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  EXPECT_FALSE(IsWindowVisible(app.main()));
  EXPECT_TRUE(WaitUntil([&] { return app.TrayIconPresent(); }));
  // No settings: RSA-keys mode, whose icon the taskbar shows.
  EXPECT_TRUE(WaitUntil([&] { return app.TaskbarShowsIcon(kIconRsa); }));
  EXPECT_FALSE(app.TaskbarShowsIcon(kIconPassword));
  SaveScreenshot(nullptr, "desktop");
  for (const char* k = kAllKeys; *k; ++k) {
    EXPECT_TRUE(WaitUntil([&] { return HotKeyTaken(kAltShift, static_cast<UINT>(*k)); }))
        << "Alt+Shift+" << *k;
  }
  // Reading the settings writes nothing.
  EXPECT_FALSE(settings::KeyExists());
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Startup, HotKeysHeldAtStartAreTakenOverOrReported) {
  // Held for a moment (a Quorvix still ending): taken over once free, no box.
  ASSERT_TRUE(RegisterHotKey(nullptr, 1, kAltShift, 'S'));
  {
    Quorvix app = Quorvix::Launch();
    ASSERT_NE(app.WaitMainWindow(), nullptr);
    Sleep(700);
    ASSERT_TRUE(UnregisterHotKey(nullptr, 1));
    EXPECT_TRUE(WaitUntil([] { return HotKeyTaken(kAltShift, 'S'); }, 3000));
    Sleep(5500);
    EXPECT_FALSE(FindMessageBox(app.pid()));
    EXPECT_EQ(app.Exit(), 1u);
  }
  WaitUntil([] { return !HotKeyTaken(kAltShift, 'S'); }, 5000);
  // Held for good: named after a few seconds.
  ASSERT_TRUE(RegisterHotKey(nullptr, 1, kAltShift, 'S'));
  Quorvix app = Quorvix::Launch();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  const MessageBoxInfo box = WaitForMessageBox(app.pid(), "held-hot-key", 15000);
  ASSERT_TRUE(box);
  EXPECT_NE(box.text.find("These hot keys could not be registered"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("(Alt + Shift + S)"), std::string::npos) << box.text;
  AnswerMessageBox(box);
  UnregisterHotKey(nullptr, 1);
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Startup, SecondInstanceIsRefused) {
  Quorvix first = Quorvix::Launch();
  ASSERT_NE(first.WaitMainWindow(), nullptr);
  Quorvix second = Quorvix::Launch();
  ExpectQuorvixBox(second.pid(), "Multiple instances are not allowed!", "refused");
  EXPECT_EQ(second.process().WaitExit(), 0u);
  EXPECT_TRUE(first.process().Running());
  EXPECT_EQ(first.Exit(), 1u);
}

TEST_F(Startup, ExitFromTheMenuRemovesTheIconAndFreesTheHotKeys) {
  Quorvix app = Quorvix::Launch();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return app.TaskbarShowsIcon(kIconRsa); }));
  HWND menu = app.OpenTrayMenu();
  ASSERT_NE(menu, nullptr);
  const auto items = ReadPopupMenu(menu);
  const MenuItem* exit = FindMenuItem(items, "&Exit");
  ASSERT_NE(exit, nullptr);
  ClickMenuItem(*exit);
  EXPECT_EQ(app.process().WaitExit(), 1u);
  EXPECT_TRUE(WaitUntil([&] { return !app.TaskbarShowsIcon(kIconRsa); }));
  for (const char* k = kAllKeys; *k; ++k) {
    EXPECT_FALSE(HotKeyTaken(kAltShift, static_cast<UINT>(*k))) << "Alt+Shift+" << *k;
  }
}

TEST_F(Startup, CloseDuringStartUpLeavesNoIcon) {
  // WM_CLOSE as early as possible: right when the main window exists, while
  // the program may still be adding its icon.
  for (int round = 0; round < 3; ++round) {
    Quorvix app = Quorvix::Launch();
    ASSERT_NE(app.WaitMainWindow(), nullptr);
    const HWND main = app.main();
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.process().WaitExit(), 1u);
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = main;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &data));
    EXPECT_TRUE(WaitUntil([&] { return !app.TaskbarShowsIcon(kIconRsa); }));
  }
}

TEST_F(Startup, WmCloseEndsWithExitCodeOne) {
  Quorvix app = Quorvix::Launch();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return HotKeyTaken(kAltShift, 'R'); }));
  ASSERT_TRUE(WaitUntil([&] { return app.TrayIconPresent(); }));
  SendMessageTimeoutA(app.main(), WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 10000, nullptr);
  // The icon and the hot keys are gone as soon as WM_CLOSE has been handled.
  EXPECT_FALSE(app.TrayIconPresent());
  EXPECT_FALSE(HotKeyTaken(kAltShift, 'R'));
  EXPECT_EQ(app.process().WaitExit(), 1u);
}

TEST_F(Startup, AutostartQuitsAtOnceWhenAutorunIsOff) {
  ASSERT_TRUE(settings::WriteDword("Autorun", 0));
  Quorvix quiet = Quorvix::Launch("ReGrUn");
  EXPECT_EQ(quiet.process().WaitExit(), 0u);
  EXPECT_FALSE(FindMessageBox(quiet.pid()));

  ASSERT_TRUE(settings::WriteDword("Autorun", 1));
  Quorvix running = Quorvix::Launch("regrun");
  EXPECT_NE(running.WaitMainWindow(), nullptr);
  EXPECT_EQ(running.Exit(), 1u);
}

TEST_F(Startup, AutostartWhileRunningFirstRefusesTheSecondInstance) {
  Quorvix first = Quorvix::Launch();
  ASSERT_NE(first.WaitMainWindow(), nullptr);
  ASSERT_TRUE(settings::WriteDword("Autorun", 0));
  Quorvix second = Quorvix::Launch("regrun");
  ExpectQuorvixBox(second.pid(), "Multiple instances are not allowed!", "message");
  EXPECT_EQ(second.process().WaitExit(), 0u);
  EXPECT_EQ(first.Exit(), 1u);
}

TEST_F(Startup, InstallerArgumentInAnyCaseStartsTheWizard) {
  // The wizard itself is tested with the installer; here only that the
  // argument reaches it ("install" would register this build's program).
  Quorvix app = Quorvix::Launch("StartInstall");
  DialogDriver intro = app.WaitForDialog("About Quorvix", "installer", 1014);
  ASSERT_TRUE(intro);
  PostMessageA(intro.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(app.process().WaitExit(), 1u);
  EXPECT_EQ(FindWindowA(Quorvix::kWindowClass, nullptr), nullptr);
}

TEST_F(Startup, KeyFileArgumentIsReportedEvenWhileTheTrayRuns) {
  Quorvix tray = Quorvix::Launch();
  ASSERT_NE(tray.WaitMainWindow(), nullptr);
  // Any existing path counts as a key file; one that is none cannot be loaded.
  const std::string path = QuorvixPath();
  Quorvix viewer = Quorvix::Launch(QuoteArgument(path));
  ExpectQuorvixBox(viewer.pid(), "Key load error!", "key-file");
  EXPECT_EQ(viewer.process().WaitExit(), 1u);
  EXPECT_TRUE(tray.process().Running());
  EXPECT_EQ(tray.Exit(), 1u);
}

TEST_F(Startup, MissingPathStartsTheTray) {
  Quorvix app = Quorvix::Launch("Z:\\no\\such\\friend.qvx");
  EXPECT_NE(app.WaitMainWindow(), nullptr);
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(Startup, IconComesBackWhenExplorerRestarts) {
  Quorvix app = Quorvix::Launch();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return app.TrayIconPresent(); }));
  // What a restarted Explorer looks like to the program: an empty notification
  // area, then the broadcast "TaskbarCreated".
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = app.main();
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
  ASSERT_FALSE(app.TrayIconPresent());
  PostMessageA(app.main(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return app.TrayIconPresent(); }));
  EXPECT_TRUE(WaitUntil([&] { return app.TaskbarShowsIcon(kIconRsa); }));
  EXPECT_EQ(app.Exit(), 1u);
}

}  // namespace
}  // namespace qvx::e2e

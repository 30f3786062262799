// The fixture shared by the end-to-end tests of the text commands: Quorvix in
// password mode with its hot keys taken, notepad as the target window, and the
// steps of the password prompts and the viewer.
#pragma once

#include <string>

#include "tests/support/e2e/e2e.h"

namespace qvx::e2e {

inline constexpr int kPasswordEdit = 1002;
inline constexpr int kViewerText = 1000;
inline constexpr int kViewerPastBack = 1001;
inline constexpr int kViewerPastBackClose = 1013;
inline constexpr const char* kStartLine = "--- Start Of QVX Crypto-Text ---";
inline constexpr const char* kEndLine = "--- End Of QVX Crypto-Text ---";
inline constexpr WORD kClipboardKey = 'A', kSelectionKey = 'S', kWindowKey = 'D';

class TextCommandTest : public QuorvixTest {
 protected:
  void TearDown() override {
    if (HasFailure()) SaveScreenshot(nullptr, "at-failure");
    QuorvixTest::TearDown();
  }
  // Starts Quorvix (password mode unless told) and waits for its hot keys.
  void StartApp(bool password_mode = true, bool show_text = false) {
    ASSERT_TRUE(settings::WriteDword("IsSimmetrick", password_mode ? 1 : 0));
    if (show_text) {
      ASSERT_TRUE(settings::WriteDword("ShowText", 1));
    }
    app_ = Quorvix::Launch();
    ASSERT_NE(app_.WaitMainWindow(), nullptr);
    for (WORD key : {kClipboardKey, kSelectionKey, kWindowKey}) {
      ASSERT_TRUE(WaitUntil([key] { return HotKeyTaken(MOD_ALT | MOD_SHIFT, key); }));
    }
  }
  void StartNotepad(const std::string& text) {
    notepad_ = Notepad::Start();
    ASSERT_TRUE(notepad_.ok());
    notepad_.SetText(text);
    ASSERT_TRUE(notepad_.Focus());
  }

  DialogDriver Prompt(const std::string& title, const std::string& what) {
    return app_.WaitForDialog(title, what, kPasswordEdit);
  }
  static void Answer(const DialogDriver& prompt, const std::string& password, int button = IDOK) {
    prompt.SetText(kPasswordEdit, password);
    prompt.Click(button);
  }
  // The encryption prompt and its confirmation, both answered.
  void EncryptWith(const std::string& password) {
    DialogDriver prompt = Prompt("Enter Encryption Password", "encryption-prompt");
    ASSERT_TRUE(prompt);
    Answer(prompt, password);
    DialogDriver confirm = Prompt("Password", "confirm-password");
    ASSERT_TRUE(confirm);
    Answer(confirm, password);
    EXPECT_TRUE(WaitGone(prompt.hwnd()));
  }
  // Chooses an entry of the tray menu's "Encrypt/Decrypt" submenu.
  void ChooseCryptCommand(const std::string& text) {
    HWND menu = app_.OpenTrayMenu("tray-menu");
    ASSERT_NE(menu, nullptr);
    const MenuItem* sub = FindMenuItem(SubmenuItems(ReadPopupMenu(menu), ""), "Encrypt/Decrypt");
    ASSERT_NE(sub, nullptr);
    ASSERT_FALSE(sub->grayed);
    const std::vector<HWND> shown = PopupMenuWindows(app_.pid());
    ClickMenuItem(*sub);
    HWND submenu = WaitForNewPopupMenu(app_.pid(), shown);
    ASSERT_NE(submenu, nullptr);
    const auto entries = ReadPopupMenu(submenu);
    const MenuItem* item = FindMenuItem(entries, text);
    ASSERT_NE(item, nullptr) << text;
    ASSERT_FALSE(item->grayed) << text;
    ClickMenuItem(*item);
    EXPECT_TRUE(WaitGone(menu));
  }
  DialogDriver Viewer(const std::string& what = "viewer", DWORD timeout_ms = kTimeoutMs) {
    return app_.WaitForDialog("Quorvix", what, kViewerText, timeout_ms);
  }

  // Notepad shows that text, and the keys of the paste are all up again (a
  // hot key pressed next would otherwise carry Ctrl).
  bool WaitNotepadText(const std::string& expected, DWORD timeout_ms = kTimeoutMs) {
    return WaitUntil([&] { return notepad_.Text() == expected; }, timeout_ms) && KeysReleased();
  }
  static bool KeysReleased() {
    return WaitUntil([] { return (GetAsyncKeyState(VK_CONTROL) & 0x8000) == 0; });
  }

  Quorvix app_;
  Notepad notepad_;
};

}  // namespace qvx::e2e

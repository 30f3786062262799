// Encrypting and decrypting the text of another window and of the clipboard,
// end to end under Wine with notepad as the target: hot keys and menu
// commands, the password prompts, the viewer with "Past back" and Save, the
// window that shows the original text, and what must stay unchanged when the
// user cancels or something fails.
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "engine/cryptotext.h"
#include "tests/shell/e2e/text_command_test.h"
#include "tests/support/password_block.h"

namespace qvx::e2e {
namespace {

constexpr int kFromStorage = 1001;
constexpr int kCommonPassword = 1005;
constexpr int kViewerSave = 1004;
constexpr int kProgressBar = 1016;
constexpr const char* kCommonText = "Use &common password to decrypt all encrypted parts";

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

using test::MakePasswordBlock;

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A text of about `bytes` bytes: lines of words that compress like prose.
std::string LongText(std::size_t bytes) {
  static const char* const words[] = {"alpha", "bravo", "charlie", "delta",  "echo",    "foxtrot",
                                      "golf",  "hotel", "india",   "juliet", "kilo",    "lima",
                                      "mike",  "11",    "2024",    "zulu",   "quorvix", "text"};
  std::mt19937 rng(20240607);
  std::string text;
  text.reserve(bytes + 100);
  std::size_t line = 0;
  while (text.size() < bytes) {
    text += words[rng() % std::size(words)];
    if (++line % 12 == 0) {
      text += ".\r\n";
    } else {
      text += ' ';
    }
  }
  text.resize(bytes);
  return text;
}

class Capture : public TextCommandTest {
 protected:
  void HotKey(WORD key) { notepad_.PressHotKey(key); }

  void DecryptWith(const std::string& password, const std::string& what = "decryption-prompt") {
    DialogDriver prompt = Prompt("Enter Decryption Password", what);
    ASSERT_TRUE(prompt);
    Answer(prompt, password);
    EXPECT_TRUE(WaitGone(prompt.hwnd()));
  }
  // Reads a message box, checks its text and answers it.
  void ExpectMessage(const std::string& text, const std::string& what, int button = IDOK) {
    ExpectQuorvixBox(app_.pid(), text, what, button);
  }
  // "wrong" typed in the decryption prompt: the failure's two boxes (their
  // screenshots named with `shots` in front), then nothing of the program
  // stays open and notepad still holds `text`.
  void ExpectWrongPasswordRefused(const std::string& first_box, const std::string& shots,
                                  const std::string& text) {
    DecryptWith("wrong");
    ExpectMessage(first_box, shots + "wrong-password");
    ExpectMessage("Decryption error!", shots + "decryption-error");
    EXPECT_TRUE(WaitUntil([&] { return NoWindowsOpen(); }, 3000));
    EXPECT_EQ(notepad_.Text(), text);
  }
  // Nothing of the program is open: no prompt, viewer or message box.
  bool NoWindowsOpen() {
    WindowMatch match;
    match.pid = app_.pid();
    match.class_name = "#32770";
    return TopLevelWindows(match).empty();
  }
  // The program has pasted into notepad: its text changed, and the keys of
  // the paste are all up again (a hot key pressed before would carry Ctrl).
  bool WaitPasted(const std::wstring& before, DWORD timeout_ms = kTimeoutMs) {
    return notepad_.WaitTextChange(before, timeout_ms) && KeysReleased();
  }
  // Encrypts notepad's whole text with the hot key and returns the block.
  std::string EncryptWholeText(const std::string& password) {
    const std::wstring before = notepad_.TextW();
    HotKey(kWindowKey);
    EncryptWith(password);
    EXPECT_TRUE(WaitPasted(before));
    return notepad_.Text();
  }

};

TEST_F(Capture, HotKeyOnTheWholeTextEncryptsThenDecryptsIntoTheViewerAndPastesBack) {
  StartApp();
  const std::string original = "Meet me at noon.\r\nBring the papers.";
  StartNotepad(original);
  const std::string block = EncryptWholeText("secret");
  // The block replaced everything: it is all notepad holds.
  EXPECT_EQ(block.find(kStartLine), 2u) << block;
  const std::string end = "--- End Of QVX Crypto-Text ---\r\n";
  ASSERT_GE(block.size(), end.size());
  EXPECT_EQ(block.substr(block.size() - end.size()), end);
  EXPECT_EQ(block.find(original), std::string::npos);
  SaveScreenshot(nullptr, "encrypted-notepad");

  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  DecryptWith("secret");
  DialogDriver viewer = Viewer();
  ASSERT_TRUE(viewer);
  EXPECT_EQ(viewer.Text(kViewerText), original);
  EXPECT_TRUE(viewer.Enabled(kViewerPastBack));
  EXPECT_TRUE(viewer.Enabled(kViewerPastBackClose));
  // A decrypted text is never pasted by itself.
  EXPECT_EQ(notepad_.Text(), block);

  // "Past back" replaces notepad's selection (all of it, after Ctrl+A).
  viewer.Click(kViewerPastBack);
  EXPECT_TRUE(WaitNotepadText(original)) << notepad_.Text();
  EXPECT_TRUE(IsWindow(viewer.hwnd()));
  viewer.Click(IDOK);
  EXPECT_TRUE(WaitGone(viewer.hwnd()));
}

TEST_F(Capture, MenuCommandOnTheSelectionReplacesExactlyTheSelection) {
  StartApp();
  StartNotepad("Dear Ann, the code is 4711. Regards");
  notepad_.Select(22, 26);  // "4711"
  ChooseCryptCommand("Encrypt/Decrypt &selected window text");
  EncryptWith("pw");
  ASSERT_TRUE(WaitPasted(L"Dear Ann, the code is 4711. Regards"));
  const std::string text = notepad_.Text();
  ASSERT_EQ(text.rfind("Dear Ann, the code is ", 0), 0u) << text;
  ASSERT_GE(text.size(), 30u);
  EXPECT_EQ(text.substr(text.size() - 9), ". Regards") << text;
  const std::string block = text.substr(22, text.size() - 22 - 9);
  EXPECT_EQ(block.find(kStartLine), 2u);
  EXPECT_EQ(block.find("4711"), std::string::npos);

  // The block selected and the same command again: the viewer shows "4711",
  // and "Past back && Close" puts it back in place of the block.
  ASSERT_TRUE(notepad_.Focus());
  notepad_.Select(22, static_cast<int>(22 + block.size()));
  ChooseCryptCommand("Encrypt/Decrypt &selected window text");
  DecryptWith("pw");
  DialogDriver viewer = Viewer();
  ASSERT_TRUE(viewer);
  EXPECT_EQ(viewer.Text(kViewerText), "4711");
  EXPECT_EQ(notepad_.Text(), text);
  viewer.Click(kViewerPastBackClose);
  EXPECT_TRUE(WaitGone(viewer.hwnd()));
  EXPECT_TRUE(WaitNotepadText("Dear Ann, the code is 4711. Regards")) << notepad_.Text();
}

TEST_F(Capture, MenuCommandOnTheWholeTextAndModifiersStillHeldFromTheHotKey) {
  StartApp();
  StartNotepad("first line\r\nsecond line");
  ChooseCryptCommand("Encrypt/Decrypt &all window text");
  EncryptWith("pw");
  ASSERT_TRUE(WaitPasted(L"first line\r\nsecond line"));
  const std::string block = notepad_.Text();
  EXPECT_EQ(block.find(kStartLine), 2u);

  // Alt and Shift are still held when the program plays Ctrl+A, Ctrl+C: it
  // lets go of them first, or notepad would not copy.
  ASSERT_TRUE(notepad_.Focus());
  KeyDown(VK_MENU);
  KeyDown(VK_SHIFT);
  PressKey(kWindowKey);
  DialogDriver prompt = Prompt("Enter Decryption Password", "decryption-prompt-held-keys");
  KeyUp(VK_SHIFT);
  KeyUp(VK_MENU);
  ASSERT_TRUE(prompt);
  Answer(prompt, "pw");
  DialogDriver viewer = Viewer();
  ASSERT_TRUE(viewer);
  EXPECT_EQ(viewer.Text(kViewerText), "first line\r\nsecond line");
  viewer.Click(IDOK);
}

TEST_F(Capture, ClipboardEncryptAndDecryptShowTheViewerWithoutPastBack) {
  StartApp();
  StartNotepad("");
  ASSERT_TRUE(clipboard::WriteText("from the clipboard"));
  HotKey(kClipboardKey);
  EncryptWith("clip");
  DialogDriver viewer = Viewer("viewer-encrypted");
  ASSERT_TRUE(viewer);
  const std::string block = viewer.Text(kViewerText);
  EXPECT_EQ(block.find(kStartLine), 2u) << block;
  EXPECT_FALSE(viewer.Enabled(kViewerPastBack));
  EXPECT_FALSE(viewer.Enabled(kViewerPastBackClose));
  const auto bar = ReadMenuBar(viewer.hwnd());
  const auto action = SubmenuItems(bar, "&Action");
  ASSERT_EQ(action.size(), 3u);
  EXPECT_TRUE(action[0].grayed);
  EXPECT_TRUE(action[2].grayed);
  EXPECT_EQ(SubmenuItems(bar, "&File").size(), 3u);
  EXPECT_EQ(SubmenuItems(bar, "&Edit").size(), 8u);
  // The clipboard keeps the original text; notepad is untouched.
  EXPECT_EQ(clipboard::ReadText(), "from the clipboard");
  EXPECT_EQ(notepad_.Text(), "");
  viewer.Click(IDOK);
  ASSERT_TRUE(WaitGone(viewer.hwnd()));

  // The block on the clipboard and the menu command: decrypted into a viewer.
  ASSERT_TRUE(clipboard::WriteText(block));
  ChooseCryptCommand("Encrypt/Decrypt &from clipboard");
  DecryptWith("clip");
  DialogDriver plain = Viewer("viewer-decrypted");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain.Text(kViewerText), "from the clipboard");
  EXPECT_FALSE(plain.Enabled(kViewerPastBack));
  EXPECT_EQ(notepad_.Text(), "");
  plain.Click(IDOK);
}

TEST_F(Capture, SeveralBlocksWithOneCommonPasswordOrOnePromptEach) {
  StartApp();
  const std::string text =
      "A" + MakePasswordBlock("first", "pw") + "B" + MakePasswordBlock("second", "pw") + "C";
  StartNotepad(text);

  // The box left checked: one prompt serves both blocks.
  HotKey(kWindowKey);
  DialogDriver prompt = Prompt("Enter Decryption Password", "common-password");
  ASSERT_TRUE(prompt);
  EXPECT_EQ(prompt.Text(kCommonPassword), kCommonText);
  EXPECT_TRUE(prompt.Checked(kCommonPassword));
  EXPECT_TRUE(prompt.Enabled(kFromStorage));
  Answer(prompt, "pw");
  DialogDriver viewer = Viewer();
  ASSERT_TRUE(viewer);
  EXPECT_EQ(viewer.Text(kViewerText), "AfirstBsecondC");
  viewer.Click(IDOK);
  ASSERT_TRUE(WaitGone(viewer.hwnd()));

  // The box cleared: the second block asks again, the box shown as left.
  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  DialogDriver first = Prompt("Enter Decryption Password", "first-of-two");
  ASSERT_TRUE(first);
  ASSERT_TRUE(first.SetChecked(kCommonPassword, false));
  Answer(first, "pw");
  ASSERT_TRUE(WaitGone(first.hwnd()));
  DialogDriver second = Prompt("Enter Decryption Password", "second-of-two");
  ASSERT_TRUE(second);
  EXPECT_FALSE(second.Checked(kCommonPassword));
  Answer(second, "pw");
  DialogDriver again = Viewer("viewer-two-prompts");
  ASSERT_TRUE(again);
  EXPECT_EQ(again.Text(kViewerText), "AfirstBsecondC");
  again.Click(IDOK);
  EXPECT_EQ(notepad_.Text(), text);
}

TEST_F(Capture, WrongPasswordReportsAndLeavesTheTextAlone) {
  StartApp();
  const std::string text = "before " + MakePasswordBlock("the plain text", "right") + " after";
  StartNotepad(text);
  HotKey(kWindowKey);
  ExpectWrongPasswordRefused("Wrong password or bad data!", "", text);
}

// With "Hardened" chosen, the whole text becomes a format-2 block; the same
// hot key decrypts it (a wrong password is told as such) and "Past back"
// restores the text; the clipboard command does the same on the clipboard.
TEST_F(Capture, HardenedFormatEncryptsAndDecryptsNotepadsText) {
  ASSERT_TRUE(settings::WriteDword("CryptoTextFormat", 2));
  StartApp();
  const std::string original = "Hardened words.\r\nSecond line.";
  StartNotepad(original);
  const std::string block = EncryptWholeText("secret");
  EXPECT_EQ(block.find("--- Start Of QVX Crypto-Text 2 ---"), 2u) << block;
  EXPECT_EQ(block.find(kStartLine), std::string::npos);
  EXPECT_EQ(block.find(original), std::string::npos);

  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  ExpectWrongPasswordRefused("Wrong password, or the text was changed!", "hardened-", block);

  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  DecryptWith("secret");
  DialogDriver viewer = Viewer();
  ASSERT_TRUE(viewer);
  EXPECT_EQ(viewer.Text(kViewerText), original);
  // "Past back" puts the plaintext in place of the block.
  viewer.Click(kViewerPastBack);
  EXPECT_TRUE(WaitNotepadText(original)) << notepad_.Text();
  viewer.Click(IDOK);
  EXPECT_TRUE(WaitGone(viewer.hwnd()));

  // The clipboard command writes and reads the same format.
  ASSERT_TRUE(clipboard::WriteText("hardened clipboard"));
  HotKey(kClipboardKey);
  EncryptWith("clip");
  DialogDriver encrypted = Viewer("hardened-clipboard-encrypted");
  ASSERT_TRUE(encrypted);
  const std::string clip_block = encrypted.Text(kViewerText);
  EXPECT_EQ(clip_block.find("--- Start Of QVX Crypto-Text 2 ---"), 2u) << clip_block;
  encrypted.Click(IDOK);
  ASSERT_TRUE(WaitGone(encrypted.hwnd()));
  ASSERT_TRUE(clipboard::WriteText(clip_block));
  HotKey(kClipboardKey);
  DecryptWith("clip");
  DialogDriver plain = Viewer("hardened-clipboard-decrypted");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain.Text(kViewerText), "hardened clipboard");
  plain.Click(IDOK);
  EXPECT_TRUE(WaitGone(plain.hwnd()));
}

TEST_F(Capture, CancelInEveryPromptLeavesTheTextAlone) {
  StartApp();
  const std::string original = "keep me as I am";
  StartNotepad(original);

  // Cancel in the encryption prompt.
  HotKey(kWindowKey);
  DialogDriver prompt = Prompt("Enter Encryption Password", "encryption-cancel");
  ASSERT_TRUE(prompt);
  prompt.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(prompt.hwnd()));

  // An empty password, then a confirmation cancelled, then one that differs
  // in letter case: each keeps the prompt open; then Cancel.
  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  prompt = Prompt("Enter Encryption Password", "encryption-again");
  ASSERT_TRUE(prompt);
  prompt.Click(IDOK);
  ExpectMessage("Please, enter password!", "empty-password");
  Answer(prompt, "Secret");
  DialogDriver confirm = Prompt("Password", "confirm-cancel");
  ASSERT_TRUE(confirm);
  confirm.Click(IDCANCEL);
  ExpectMessage("Wrong confirmation!", "confirmation-cancelled");
  Answer(prompt, "Secret");
  confirm = Prompt("Password", "confirm-other-case");
  ASSERT_TRUE(confirm);
  Answer(confirm, "secret");
  ExpectMessage("Wrong confirmation!", "confirmation-differs");
  EXPECT_TRUE(IsWindowVisible(prompt.hwnd()));
  prompt.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(prompt.hwnd()));
  EXPECT_TRUE(WaitUntil([&] { return NoWindowsOpen(); }, 3000));
  EXPECT_EQ(notepad_.Text(), original);

  // Cancel in the decryption prompt: no message, nothing changes.
  const std::string text = MakePasswordBlock("hidden", "pw");
  notepad_.SetText(text);
  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  prompt = Prompt("Enter Decryption Password", "decryption-cancel");
  ASSERT_TRUE(prompt);
  prompt.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(prompt.hwnd()));
  Sleep(500);
  EXPECT_TRUE(NoWindowsOpen());
  EXPECT_EQ(notepad_.Text(), text);
}

TEST_F(Capture, ShowTextAsksRightOrWrongTextBeforeEncrypting) {
  StartApp(true, true);
  const std::string original = "the original\r\ntext";
  StartNotepad(original);
  HotKey(kWindowKey);
  DialogDriver confirm = app_.WaitForDialog("Original Text-Quorvix", "original-text", kViewerText);
  ASSERT_TRUE(confirm);
  EXPECT_EQ(confirm.Text(kViewerText), original);
  EXPECT_EQ(confirm.Text(IDOK), "Right text");
  EXPECT_EQ(confirm.Text(IDCANCEL), "Wrong text");
  confirm.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(confirm.hwnd()));
  Sleep(500);
  EXPECT_TRUE(NoWindowsOpen());
  EXPECT_EQ(notepad_.Text(), original);

  // The close box counts as "Wrong text".
  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  confirm = app_.WaitForDialog("Original Text-Quorvix", "original-text-close", kViewerText);
  ASSERT_TRUE(confirm);
  PostMessageA(confirm.hwnd(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(confirm.hwnd()));
  Sleep(500);
  EXPECT_TRUE(NoWindowsOpen());

  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  confirm = app_.WaitForDialog("Original Text-Quorvix", "original-text-right", kViewerText);
  ASSERT_TRUE(confirm);
  confirm.Click(IDOK);
  EncryptWith("pw");
  ASSERT_TRUE(WaitPasted(Wide(original)));
  EXPECT_EQ(notepad_.Text().find(kStartLine), 2u);
}

TEST_F(Capture, ViewerSavesTheTextAsATextFileAndAsksBeforeOverwriting) {
  StartApp();
  const std::string original = "line one\r\nline two\r\n\r\nlast line";
  StartNotepad(MakePasswordBlock(original, "pw"));
  HotKey(kWindowKey);
  DecryptWith("pw");
  DialogDriver viewer = Viewer();
  ASSERT_TRUE(viewer);

  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string base = std::string(temp) + "qvx-viewer-save";
  const std::string path = base + ".txt";
  DeleteFileA(path.c_str());
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());

  auto save_as = [&](const std::string& name, const std::string& what) {
    viewer.Click(kViewerSave);
    DialogDriver dialog = app_.WaitForDialog("Save As", what);
    if (!dialog) return false;
    // The file name box: a combo box in the explorer-style dialog, an edit
    // in the older one.
    const int name_control = dialog.Exists(0x47C) ? 0x47C : 0x480;
    dialog.SetText(name_control, name);
    dialog.Click(IDOK);
    return WaitGone(dialog.hwnd());
  };

  // No extension given: ".txt" is appended; the bytes are the text's.
  ASSERT_TRUE(save_as(base, "save-as"));
  ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(path) == original; })) << ReadFileBytes(path);

  // The same name again: No keeps the file, Yes replaces it.
  viewer.SetText(kViewerText, "changed");
  ASSERT_TRUE(save_as(path, "save-again"));
  ExpectMessage("File already exists, overwrite?", "overwrite-no", IDNO);
  EXPECT_EQ(ReadFileBytes(path), original);
  ASSERT_TRUE(save_as(path, "save-yes"));
  ExpectMessage("File already exists, overwrite?", "overwrite-yes", IDYES);
  EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(path) == "changed"; }));

  // A file that another program keeps open cannot be replaced: the failure
  // is said and the file kept.
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  viewer.SetText(kViewerText, "not written");
  ASSERT_TRUE(save_as(path, "save-held-open"));
  ExpectMessage("File already exists, overwrite?", "overwrite-held-open", IDYES);
  ExpectMessage("The file could not be written:\n" + path, "write-failed");
  CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(path), "changed");
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
  viewer.Click(IDOK);
}

TEST_F(Capture, ViewerRightClickOpensTheEditMenu) {
  StartApp();
  ASSERT_TRUE(clipboard::WriteText(MakePasswordBlock("right click here", "pw")));
  StartNotepad("");
  HotKey(kClipboardKey);
  DecryptWith("pw");
  DialogDriver viewer = Viewer();
  ASSERT_TRUE(viewer);
  const std::vector<std::string> edit_menu{"&Undo", "",        "&Cut", "C&opy",
                                          "&Paste", "&Delete", "",     "&Select all"};
  // Only a menu window that was not there before the click counts (one that
  // Wine has not yet taken down from an earlier test is not it). Now and then
  // a click right after the viewer opened is lost: the menu is closed, the
  // viewer brought forward and the click made again.
  HWND popup = nullptr;
  std::vector<std::string> texts;
  for (int attempt = 0; attempt < 3 && texts != edit_menu; ++attempt) {
    if (popup != nullptr) {
      EndMenus(popup);
      WaitGone(popup);
    }
    if (attempt > 0) {
      SetForegroundWindow(viewer.hwnd());
      Sleep(300);
    }
    const std::vector<HWND> shown = PopupMenuWindows(app_.pid());
    RightClickAt(viewer.CenterOf(kViewerText));
    popup = WaitForNewPopupMenu(app_.pid(), shown, 5000);
    texts.clear();
    if (popup == nullptr) continue;
    for (const auto& item : ReadPopupMenu(popup)) texts.push_back(item.text);
  }
  ASSERT_NE(popup, nullptr);
  SaveScreenshot(nullptr, "edit-menu");
  EXPECT_EQ(texts, edit_menu);
  EndMenus(popup);
  WaitGone(popup);
  viewer.Click(IDOK);
}

TEST_F(Capture, PastBackRestoresAMinimisedTargetAndSaysWhenItIsGone) {
  StartApp();
  StartNotepad(MakePasswordBlock("back again", "pw"));
  HotKey(kWindowKey);
  DecryptWith("pw");
  DialogDriver viewer = Viewer();
  ASSERT_TRUE(viewer);
  ShowWindow(notepad_.window(), SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(notepad_.window()) != FALSE; }));
  viewer.Click(kViewerPastBack);
  EXPECT_TRUE(WaitNotepadText("back again")) << notepad_.Text();
  EXPECT_FALSE(IsIconic(notepad_.window()));

  // Notepad closed: "Past back" says so, and the viewer stays.
  PostMessageA(notepad_.window(), WM_CLOSE, 0, 0);
  if (MessageBoxInfo save = WaitForMessageBox(notepad_.pid(), "notepad-save-question", 3000)) {
    AnswerMessageBox(save, IDNO);
  }
  ASSERT_TRUE(WaitGone(notepad_.window()));
  SaveScreenshot(nullptr, "notepad-closed");
  viewer.Click(kViewerPastBack);
  Sleep(1000);
  SaveScreenshot(nullptr, "after-past-back");
  ExpectMessage("The window the text came from is no longer open.", "target-gone");
  EXPECT_TRUE(IsWindowVisible(viewer.hwnd()));
  viewer.Click(IDOK);
}

TEST_F(Capture, NothingSelectedOrNoTextOnTheClipboard) {
  StartApp();
  StartNotepad("some text, nothing selected");
  // Notepad's field is read directly: nothing selected and an empty window
  // are answered within a second, and the clipboard is never touched.
  const struct {
    const char* what;
    const char* text;
    WORD key;
  } rows[] = {{"nothing-selected", "some text, nothing selected", kSelectionKey},
              {"empty-window", "", kWindowKey},
              {"empty-window-selection", "", kSelectionKey}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    notepad_.SetText(row.text);
    notepad_.Select(0, 0);
    ASSERT_TRUE(notepad_.Focus());
    const DWORD sequence = GetClipboardSequenceNumber();
    // A watcher times the box while the press runs: the press guards against
    // Wine typing the hot key into notepad as a letter, and takes a moment.
    const DWORD pressed = GetTickCount();
    std::atomic<DWORD> shown{0};
    std::thread watcher([&] {
      while (GetTickCount() - pressed < kTimeoutMs) {
        if (FindMessageBox(app_.pid())) {
          shown = GetTickCount();
          return;
        }
        Sleep(5);
      }
    });
    notepad_.PressHotKey(row.key);
    watcher.join();
    ASSERT_NE(shown.load(), 0u) << "no answer to the hot key";
    const DWORD answered = shown - pressed;
    std::printf("%s answered after %lu ms\n", row.what, static_cast<unsigned long>(answered));
    EXPECT_LT(answered, 1000u);
    ExpectMessage("No text!", row.what);
    EXPECT_EQ(notepad_.Text(), row.text);
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
  }

  // An empty text on the clipboard.
  notepad_.SetText("");
  ASSERT_TRUE(clipboard::WriteText(""));
  ASSERT_TRUE(notepad_.Focus());
  HotKey(kClipboardKey);
  ExpectMessage("No text!", "no-text");
}

TEST_F(Capture, CharactersOutsideTheCodePageAreAskedAbout) {
  StartApp();
  notepad_ = Notepad::Start();
  ASSERT_TRUE(notepad_.ok());
  const std::wstring original = L"Price \x4E2D\x6587 and \x0416";
  notepad_.SetTextW(original);
  ASSERT_TRUE(notepad_.Focus());

  HotKey(kWindowKey);
  MessageBoxInfo box = WaitForMessageBox(app_.pid(), "lossy-question");
  ASSERT_TRUE(box);
  EXPECT_NE(box.text.find("cannot represent"), std::string::npos) << box.text;
  ASSERT_TRUE(AnswerMessageBox(box, IDCANCEL));
  Sleep(500);
  EXPECT_TRUE(NoWindowsOpen());
  EXPECT_EQ(notepad_.TextW(), original);

  // Going on anyway encrypts the text as the code page holds it.
  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  box = WaitForMessageBox(app_.pid(), "lossy-question-ok");
  ASSERT_TRUE(box);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EncryptWith("pw");
  ASSERT_TRUE(WaitPasted(original));
  EXPECT_EQ(notepad_.Text().find(kStartLine), 2u);
}

TEST_F(Capture, RsaModeKeyChoiceCancelledChangesNothing) {
  StartApp(false);
  StartNotepad("to somebody");
  HotKey(kWindowKey);
  // Encrypting in RSA-keys mode asks for the recipient's key first.
  DialogDriver selection = app_.WaitForDialog("Key Selection", "recipient-choice");
  ASSERT_TRUE(selection);
  selection.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(selection.hwnd()));
  Sleep(500);
  EXPECT_TRUE(NoWindowsOpen());
  EXPECT_EQ(notepad_.Text(), "to somebody");

  // Password blocks still decrypt in RSA-keys mode.
  notepad_.SetText(MakePasswordBlock("readable", "pw"));
  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  DecryptWith("pw");
  DialogDriver viewer = Viewer();
  ASSERT_TRUE(viewer);
  EXPECT_EQ(viewer.Text(kViewerText), "readable");
  viewer.Click(IDOK);
}

TEST_F(Capture, ASecondCommandDuringAnOperationIsRefusedAndDoesNoHarm) {
  // Through the clipboard, where the second hot key can fall into the first
  // command's keystrokes.
  ASSERT_TRUE(settings::WriteDword("DirectAccess", 0));
  StartApp();
  const std::string original = "only once";
  StartNotepad(original);
  HotKey(kWindowKey);
  DialogDriver prompt = Prompt("Enter Encryption Password", "first-prompt");
  ASSERT_TRUE(prompt);
  // The hot key again while the prompt waits: refused with a message.
  HotKey(kWindowKey);
  ExpectMessage("Quorvix is still working on another text. Finish or cancel it first.", "busy");
  // And the menu command.
  ChooseCryptCommand("Encrypt/Decrypt &all window text");
  ExpectMessage("Quorvix is still working on another text. Finish or cancel it first.",
                "busy-menu");
  EXPECT_TRUE(IsWindowVisible(prompt.hwnd()));
  Answer(prompt, "pw");
  DialogDriver confirm = Prompt("Password", "confirm");
  ASSERT_TRUE(confirm);
  Answer(confirm, "pw");
  ASSERT_TRUE(WaitPasted(Wide(original)));
  const std::string block = notepad_.Text();

  // Two hot keys in quick succession: the second falls into the first one's
  // keystrokes (pressed once the program holds Ctrl down for its copy) and is
  // dropped; one prompt, one viewer, notepad unchanged.
  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  ASSERT_TRUE(WaitUntil([] { return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0; }, 10000));
  HotKey(kWindowKey);
  DecryptWith("pw");
  DialogDriver viewer = Viewer();
  ASSERT_TRUE(viewer);
  EXPECT_EQ(viewer.Text(kViewerText), original);
  Sleep(1000);
  WindowMatch match;
  match.pid = app_.pid();
  match.class_name = "#32770";
  EXPECT_EQ(TopLevelWindows(match).size(), 1u);
  EXPECT_EQ(notepad_.Text(), block);
  viewer.Click(IDOK);
}

// The phases of the trace lines, in order, for one operation's name.
std::vector<std::string> TracePhases(const std::string& log, const std::string& operation) {
  std::vector<std::string> phases;
  std::size_t at = 0;
  while (at < log.size()) {
    const std::size_t end = log.find('\n', at);
    const std::string line = log.substr(at, end == std::string::npos ? end : end - at);
    at = end == std::string::npos ? log.size() : end + 1;
    if (line.compare(0, operation.size() + 2, operation + "  ") != 0) continue;
    // "<operation>  <total> ms <step> ms  <phase>[  (<detail>)]"
    const std::size_t phase = line.find("ms  ", line.find('+'));
    if (phase == std::string::npos) continue;
    const std::string rest = line.substr(phase + 4);
    phases.push_back(rest.substr(0, rest.find("  (")));
  }
  return phases;
}

TEST_F(Capture, AMegabyteTextGoesThroughTheWholeRoundTrip) {
  // With "Trace" on, every phase of both operations goes to the log in the
  // program's folder.
  const std::string program = QuorvixPath();
  const std::string trace_log =
      program.substr(0, program.find_last_of("\\/") + 1) + "Quorvix-trace.log";
  DeleteFileA(trace_log.c_str());
  ASSERT_TRUE(settings::WriteDword("Trace", 1));
  // The clipboard path, with its every phase (notepad's field would be read
  // directly otherwise).
  ASSERT_TRUE(settings::WriteDword("DirectAccess", 0));
  StartApp();
  // A little over a megabyte: Wine's edit control refuses to copy a text of
  // exactly 2^20 characters.
  const std::string original = LongText((1 << 20) + 4096);
  StartNotepad(original);
  ASSERT_EQ(notepad_.Text().size(), original.size());

  const DWORD t0 = GetTickCount();
  HotKey(kWindowKey);
  EncryptWith("big");
  // A long text shows the progress dialog while it is enciphered.
  if (HWND progress =
          app_.WaitForDialog("Encryption/Decryption Progress", "progress", kProgressBar, 5000)
              .hwnd()) {
    WaitGone(progress, 120000);
  }
  ASSERT_TRUE(WaitPasted(Wide(original), 120000));
  ASSERT_TRUE(WaitUntil(
      [&] { return notepad_.Text().find("--- End Of QVX Crypto-Text ---") != std::string::npos; },
      60000));
  const DWORD t1 = GetTickCount();
  const std::string block = notepad_.Text();
  EXPECT_EQ(block.find(kStartLine), 2u);

  ASSERT_TRUE(notepad_.Focus());
  HotKey(kWindowKey);
  DecryptWith("big");
  DialogDriver viewer = Viewer("viewer", 120000);
  ASSERT_TRUE(viewer);
  const DWORD t2 = GetTickCount();
  // The first part shows at once; the rest follows while the text is
  // read-only.
  HWND text = GetDlgItem(viewer.hwnd(), kViewerText);
  EXPECT_GT(SendMessageA(text, WM_GETTEXTLENGTH, 0, 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return (GetWindowLongPtrA(text, GWL_STYLE) & ES_READONLY) == 0; }, 60000));
  EXPECT_TRUE(viewer.Text(kViewerText) == original);
  viewer.Click(kViewerPastBackClose);
  ASSERT_TRUE(WaitGone(viewer.hwnd(), 120000));
  EXPECT_TRUE(WaitNotepadText(original, 120000));
  const DWORD t3 = GetTickCount();
  std::printf(
      "1 MiB: encrypt and paste %lu ms, block %zu bytes; decrypt to viewer %lu ms; "
      "past back %lu ms\n",
      static_cast<unsigned long>(t1 - t0), block.size(), static_cast<unsigned long>(t2 - t1),
      static_cast<unsigned long>(t3 - t2));

  const std::string log = ReadFileBytes(trace_log);
  std::printf("%s", log.c_str());
  const std::vector<std::string> crypt = {
      "command received", "target found", "clipboard saved", "target in front", "keys played",
      "copy seen",        "text read",    "prompt shown",    "OK pressed",      "engine done",
      "result on clipboard", "target in front", "keys played", "written back", "clipboard restored",
      "command received", "target found", "clipboard saved", "target in front", "keys played",
      "copy seen",        "text read",    "prompt shown",    "OK pressed",      "engine done",
      "viewer opened",    "viewer shows text", "viewer filled"};
  EXPECT_EQ(TracePhases(log, "encrypt/decrypt window"), crypt) << log;
  const std::vector<std::string> past_back = {"command received", "result on clipboard",
                                              "target in front", "keys played",
                                              "written back", "clipboard restored"};
  EXPECT_EQ(TracePhases(log, "past back"), past_back) << log;
  // The log says how much, never what.
  EXPECT_EQ(log.find("alpha"), std::string::npos);
}

// The hot-key guard takes a letter back only when notepad's text is exactly
// the old one with that letter typed over the selection: anything else is the
// program's doing and stays.
TEST(HotKeyTypedIntoNotepad, OnlyTheLetterOverTheSelectionCounts) {
  struct Case {
    const char* name;
    std::wstring before;
    std::size_t start, end;
    std::wstring after;
    bool typed;
  };
  const Case cases[] = {
      {"at the caret", L"abc", 1, 1, L"aDbc", true},
      {"lower case, Shift lost too", L"abc", 3, 3, L"abcd", true},
      {"over the whole selected text", L"secret text", 0, 11, L"D", true},
      {"over part of it", L"secret text", 2, 6, L"seD text", true},
      {"into an empty text", L"", 0, 0, L"D", true},
      {"another letter", L"abc", 1, 1, L"aEbc", false},
      {"in another place", L"abc", 1, 1, L"abDc", false},
      {"the selection kept", L"abc", 0, 3, L"abcD", false},
      {"the program's paste", L"abc", 0, 3, L"--- Start", false},
      {"nothing changed", L"abc", 1, 1, L"abc", false},
      {"selection beyond the text", L"abc", 2, 9, L"abD", false},
      {"selection backwards", L"abc", 2, 1, L"aDc", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsTypedKey(c.before, c.start, c.end, c.after, 'D'), c.typed) << c.name;
  }
}

}  // namespace
}  // namespace qvx::e2e

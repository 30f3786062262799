// How the program treats the windows it types into and the user's clipboard,
// end to end under Wine with notepad as the target: no paste into a window the
// focus moved to, the user's clipboard (text and another format) given back
// after an encrypt, the privacy markers on the program's clipboard entries, a
// decrypted text cleared from the clipboard after the user's time (and only
// when it is still ours), damaged armour read through the window commands, and
// the display affinity of the password prompt.
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "engine/cryptotext.h"
#include "keys/key_store.h"
#include "keys/protection.h"
#include "keys/signature.h"
#include "tests/keys/ui/e2e/key_folder.h"
#include "tests/shell/e2e/text_command_test.h"
#include "tests/support/password_block.h"

namespace qvx::e2e {
namespace {

constexpr const char* kNotInFront =
    "The window the text came from is no longer in front, so the result was not pasted. It is "
    "on the clipboard: paste it where it belongs.";

using test::MakePasswordBlock;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (;;) {
    const std::size_t next = text.find("\r\n", at);
    if (next == std::string::npos) {
      lines.push_back(text.substr(at));
      return lines;
    }
    lines.push_back(text.substr(at, next - at));
    at = next + 2;
  }
}

std::string JoinLines(const std::vector<std::string>& lines, const std::string& brk = "\r\n") {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? brk : "") + lines[i];
  return text;
}

std::string PrefixLines(const std::string& text, const std::string& prefix) {
  auto lines = SplitLines(text);
  for (auto& line : lines) line = prefix + line;
  return JoinLines(lines);
}

// The block's Base64 body re-wrapped to `width` columns, markers kept.
std::string Rewrapped(const std::string& block, std::size_t width) {
  const auto lines = SplitLines(block);
  std::vector<std::string> out;
  std::string body;
  bool inside = false;
  for (const auto& line : lines) {
    if (line == kStartLine) {
      out.push_back(line);
      out.emplace_back();
      inside = true;
    } else if (line == kEndLine) {
      for (std::size_t at = 0; at < body.size(); at += width) out.push_back(body.substr(at, width));
      out.emplace_back();
      out.push_back(line);
      inside = false;
    } else if (inside) {
      body += line;
    } else {
      out.push_back(line);
    }
  }
  return JoinLines(out);
}

// Clipboard access of the test itself, for formats the shared helpers leave out.
class OpenedClipboard {
 public:
  OpenedClipboard() {
    for (int i = 0; i < 200 && !open_; ++i) {
      open_ = OpenClipboard(nullptr) != FALSE;
      if (!open_) Sleep(10);
    }
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  bool open() const { return open_; }

 private:
  bool open_ = false;
};

bool PutBlock(UINT format, const void* data, std::size_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (block == nullptr) return false;
  std::memcpy(GlobalLock(block), data, size);
  GlobalUnlock(block);
  if (SetClipboardData(format, block) != nullptr) return true;
  GlobalFree(block);
  return false;
}

// The user's clipboard: a text and a format of another program.
bool WriteUserClipboard(const std::string& text, UINT custom, const std::vector<unsigned char>& bytes) {
  OpenedClipboard clipboard;
  if (!clipboard.open() || !EmptyClipboard()) return false;
  return PutBlock(CF_TEXT, text.c_str(), text.size() + 1) &&
         PutBlock(custom, bytes.data(), bytes.size());
}

std::optional<std::vector<unsigned char>> ReadFormat(UINT format) {
  OpenedClipboard clipboard;
  if (!clipboard.open()) return std::nullopt;
  HANDLE data = GetClipboardData(format);
  if (data == nullptr) return std::nullopt;
  const auto* p = static_cast<const unsigned char*>(GlobalLock(data));
  if (p == nullptr) return std::nullopt;
  std::vector<unsigned char> bytes(p, p + GlobalSize(data));
  GlobalUnlock(data);
  return bytes;
}

std::optional<DWORD> ReadDwordFormat(const char* name) {
  auto bytes = ReadFormat(RegisterClipboardFormatA(name));
  if (!bytes || bytes->size() < sizeof(DWORD)) return std::nullopt;
  DWORD value = 0;
  std::memcpy(&value, bytes->data(), sizeof value);
  return value;
}

// The three markers that keep an entry out of history, cloud and monitors.
void ExpectPrivateMarkers(const std::string& what) {
  SCOPED_TRACE(what);
  EXPECT_TRUE(
      IsClipboardFormatAvailable(RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing")));
  EXPECT_EQ(ReadDwordFormat("CanIncludeInClipboardHistory"), DWORD{0});
  EXPECT_EQ(ReadDwordFormat("CanUploadToCloudClipboard"), DWORD{0});
}

// Keeps a window in front until stopped, as a user switching windows would.
class FocusThief {
 public:
  explicit FocusThief(HWND window)
      : thread_([this, window] {
          while (!stop_) {
            if (GetForegroundWindow() != window) SetForegroundWindow(window);
            Sleep(5);
          }
        }) {}
  FocusThief(const FocusThief&) = delete;
  FocusThief& operator=(const FocusThief&) = delete;
  ~FocusThief() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class Hygiene : public TextCommandTest {
 protected:
  // The window hot key pressed in notepad until the program takes it: a
  // command just ending refuses the next one for a moment (a message, or a
  // beep while it plays keys). Each press waits long enough for a slow
  // machine, since a second press while the program plays keys would type
  // into notepad.
  bool WindowCommand(const std::string& title) {
    const auto started = DialogShows(app_, title);
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (!notepad_.Focus()) return false;
      notepad_.PressHotKey(kWindowKey);
      MessageBoxInfo refused;
      WaitUntil([&] {
        refused = FindMessageBox(app_.pid());
        return started() || refused;
      }, kTimeoutMs);
      if (started()) return true;
      if (refused) AnswerMessageBox(refused, IDOK);
      Sleep(300);
    }
    return false;
  }
  DialogDriver DecryptIntoViewer(const std::string& password, const std::string& what) {
    if (!WindowCommand("Enter Decryption Password")) return DialogDriver();
    DialogDriver prompt = Prompt("Enter Decryption Password", what + "-prompt");
    if (!prompt) return prompt;
    Answer(prompt, password);
    return app_.WaitForDialog("Quorvix", what + "-viewer", kViewerText);
  }
  // The program set to leave decrypted text on the clipboard (the clipboard
  // path with KeepClipboard off) and clear it after `clear_seconds`, notepad holding `plain`
  // encrypted, and the window command's viewer showing it.
  DialogDriver ViewerOfPlaintext(const std::string& plain, DWORD clear_seconds,
                                 const std::string& what) {
    if (!settings::WriteDword("DirectAccess", 0) || !settings::WriteDword("KeepClipboard", 0) ||
        !settings::WriteDword("ClearClipboardSeconds", clear_seconds)) {
      ADD_FAILURE() << "settings not written";
      return DialogDriver();
    }
    StartApp();
    StartNotepad(MakePasswordBlock(plain, "pw"));
    if (HasFatalFailure()) return DialogDriver();
    return DecryptIntoViewer("pw", what);
  }
};

// These tests are about the clipboard path: notepad's field would otherwise be
// written directly, where the result goes into the field it came from
// whichever window is in front, and never over the clipboard.
TEST_F(Hygiene, FocusMovedAwayBeforeThePasteNothingIsPasted) {
  ASSERT_TRUE(settings::WriteDword("DirectAccess", 0));
  StartApp();
  Notepad other = Notepad::Start();
  ASSERT_TRUE(other.ok());
  other.SetText("the other window");
  StartNotepad("text of the first window");
  ASSERT_TRUE(clipboard::WriteText("the user's clipboard"));

  ASSERT_TRUE(WindowCommand("Enter Encryption Password"));
  DialogDriver prompt = Prompt("Enter Encryption Password", "encryption-prompt");
  ASSERT_TRUE(prompt);
  Answer(prompt, "pw");
  DialogDriver confirm = Prompt("Password", "confirm-password");
  ASSERT_TRUE(confirm);
  MessageBoxInfo box;
  {
    // The user went on in the other window while the program worked.
    FocusThief thief(other.window());
    Answer(confirm, "pw");
    box = WaitForMessageBox(app_.pid(), "not-in-front");
  }
  ASSERT_TRUE(box);
  EXPECT_EQ(box.text, kNotInFront);
  SetForegroundWindow(box.hwnd);
  Sleep(300);
  SaveScreenshot(box.hwnd, "not-in-front-box");
  // Nothing was pasted anywhere; the block is on the clipboard instead of the
  // user's old text, marked private.
  EXPECT_EQ(other.Text(), "the other window");
  EXPECT_EQ(notepad_.Text(), "text of the first window");
  const auto left = clipboard::ReadText();
  ASSERT_TRUE(left);
  EXPECT_EQ(left->find(kStartLine), 2u) << *left;
  ExpectPrivateMarkers("result left on the clipboard");
  EXPECT_TRUE(AnswerMessageBox(box, IDOK));
}

TEST_F(Hygiene, TheUsersClipboardSurvivesAnEncryptOfTheWindowText) {
  ASSERT_TRUE(settings::WriteDword("DirectAccess", 0));
  StartApp();
  const UINT custom = RegisterClipboardFormatA("Hygiene.Test.Custom");
  const std::vector<unsigned char> bytes = {1, 2, 3, 0, 250, 9};
  ASSERT_TRUE(WriteUserClipboard("the user's own text", custom, bytes));
  StartNotepad("to be encrypted");

  ASSERT_TRUE(WindowCommand("Enter Encryption Password"));
  EncryptWith("pw");
  ASSERT_TRUE(notepad_.WaitTextChange(L"to be encrypted"));
  EXPECT_EQ(notepad_.Text().find(kStartLine), 2u) << notepad_.Text();
  EXPECT_TRUE(WaitUntil([] { return clipboard::ReadText() == "the user's own text"; }))
      << clipboard::ReadText().value_or("(no text)");
  EXPECT_EQ(ReadFormat(custom), bytes);
  // Only what the user had: no marker of the program's entries.
  EXPECT_FALSE(IsClipboardFormatAvailable(RegisterClipboardFormatA("CanUploadToCloudClipboard")));
}

TEST_F(Hygiene, WithoutKeepClipboardTheResultStaysThereMarkedPrivate) {
  ASSERT_TRUE(settings::WriteDword("DirectAccess", 0));
  ASSERT_TRUE(settings::WriteDword("KeepClipboard", 0));
  StartApp();
  ASSERT_TRUE(clipboard::WriteText("the user's clipboard"));
  StartNotepad("to be encrypted");
  ASSERT_TRUE(WindowCommand("Enter Encryption Password"));
  EncryptWith("pw");
  ASSERT_TRUE(notepad_.WaitTextChange(L"to be encrypted"));
  const std::string block = notepad_.Text();
  EXPECT_TRUE(WaitUntil([&] { return clipboard::ReadText() == block; }));
  ExpectPrivateMarkers("encrypted block");
}

TEST_F(Hygiene, DecryptedTextPastedBackIsClearedLaterUnlessTheUserCopiedSince) {
  ASSERT_TRUE(settings::WriteDword("DirectAccess", 0));
  ASSERT_TRUE(settings::WriteDword("KeepClipboard", 0));
  ASSERT_TRUE(settings::WriteDword("ClearClipboardSeconds", 2));
  StartApp();
  const std::string plain = "the meeting is at noon";
  const std::string block = MakePasswordBlock(plain, "pw");
  StartNotepad(block);

  DialogDriver viewer = DecryptIntoViewer("pw", "first");
  ASSERT_TRUE(viewer);
  viewer.Click(kViewerPastBack);
  ASSERT_TRUE(WaitNotepadText(plain)) << notepad_.Text();
  EXPECT_EQ(clipboard::ReadText(), plain);
  ExpectPrivateMarkers("decrypted text");
  // Two seconds later the decrypted text is gone from the clipboard.
  EXPECT_TRUE(WaitUntil([] { return !clipboard::ReadText(); }, 6000))
      << clipboard::ReadText().value_or("");
  viewer.Click(IDOK);
  ASSERT_TRUE(WaitGone(viewer.hwnd()));

  // The user copies something of his own before the time is up: it stays.
  notepad_.SetText(block);
  viewer = DecryptIntoViewer("pw", "second");
  ASSERT_TRUE(viewer);
  viewer.Click(kViewerPastBack);
  ASSERT_TRUE(WaitNotepadText(plain)) << notepad_.Text();
  ASSERT_TRUE(clipboard::WriteText("copied by the user"));
  Sleep(3500);
  EXPECT_EQ(clipboard::ReadText(), "copied by the user");
  viewer.Click(IDOK);
}

// A decrypted text waiting to be cleared does not outlive the program.
TEST_F(Hygiene, DecryptedTextWaitingToBeClearedGoesWhenTheProgramEnds) {
  const std::string plain = "the safe opens with 4711";
  DialogDriver viewer = ViewerOfPlaintext(plain, 3600, "ending");
  ASSERT_TRUE(viewer);
  viewer.Click(kViewerPastBack);
  ASSERT_TRUE(WaitNotepadText(plain)) << notepad_.Text();
  EXPECT_EQ(clipboard::ReadText(), plain);
  viewer.Click(IDOK);
  ASSERT_TRUE(WaitGone(viewer.hwnd()));
  EXPECT_EQ(app_.Exit(), 1u);
  EXPECT_FALSE(clipboard::ReadText()) << clipboard::ReadText().value_or("");
}

// A part of the viewer's text copied or cut by the user, from the Edit menu or
// with the keys, is a plaintext too: marked private and cleared later.
TEST_F(Hygiene, ViewerCopiesAreMarkedPrivateAndClearedLater) {
  constexpr int kCopyCommand = 40040;  // Edit > Copy
  const std::string plain = "the key is under the mat";
  DialogDriver viewer = ViewerOfPlaintext(plain, 2, "copy");
  ASSERT_TRUE(viewer);
  HWND text = viewer.Control(kViewerText);
  const auto keys = [&](WORD modifier, WORD key) {
    return [&viewer, text, modifier, key] {
      SetForegroundWindow(viewer.hwnd());
      WaitUntil([&] { return GetForegroundWindow() == viewer.hwnd(); });
      SetFocus(text);
      PressChord({modifier, key});
    };
  };

  struct Way {
    const char* name;
    std::function<void()> copy;
    const char* text_after;  // the viewer's text afterwards
  };
  const Way ways[] = {
      {"Edit menu", [&] { PostMessageA(viewer.hwnd(), WM_COMMAND, kCopyCommand, 0); }, nullptr},
      {"Ctrl+C", keys(VK_CONTROL, 'C'), nullptr},
      {"Ctrl+Insert", keys(VK_CONTROL, VK_INSERT), nullptr},
      {"Ctrl+X", keys(VK_CONTROL, 'X'), "the  is under the mat"},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    ASSERT_TRUE(clipboard::WriteText("before the copy"));
    SendMessageA(text, EM_SETSEL, 4, 7);
    way.copy();
    ASSERT_TRUE(WaitUntil([] { return clipboard::ReadText() == "key"; }))
        << clipboard::ReadText().value_or("(no text)");
    ExpectPrivateMarkers(way.name);
    EXPECT_EQ(viewer.Text(kViewerText), way.text_after ? way.text_after : plain);
    EXPECT_TRUE(WaitUntil([] { return !clipboard::ReadText(); }, 6000))
        << clipboard::ReadText().value_or("");
  }
  viewer.Click(IDOK);
}

TEST_F(Hygiene, DamagedBlocksDecryptThroughTheWindowCommand) {
  StartApp();
  const std::string plain =
      "Quarterly numbers attached. The vault code changed to 7731; tell nobody else, and bring "
      "the signed copy on Monday.";
  const std::string block = MakePasswordBlock(plain, "pw");
  ASSERT_GT(SplitLines(block).size(), 6u);
  std::string nbsp;
  for (const auto& line : SplitLines(block)) {
    nbsp += (line.empty() ? line : "\xA0" + line + " \xA0") + "\r\n";
  }
  const struct {
    const char* name;
    std::string text;
  } variants[] = {
      {"quoted once", PrefixLines(block, "> ")},
      {"quoted twice", PrefixLines(block, "> > ")},
      {"re-indented", PrefixLines(block, "    ")},
      {"re-wrapped to 64", Rewrapped(block, 64)},
      {"re-wrapped to 50", Rewrapped(block, 50)},
      {"quoted and re-wrapped", PrefixLines(Rewrapped(block, 64), "> ")},
      {"LF only", JoinLines(SplitLines(block), "\n")},
      {"CR only", JoinLines(SplitLines(block), "\r")},
      {"NBSP padded", nbsp},
  };
  StartNotepad("");
  for (const auto& v : variants) {
    SCOPED_TRACE(v.name);
    notepad_.SetText("Reply above.\r\n" + v.text);
    DialogDriver viewer = DecryptIntoViewer("pw", v.name);
    ASSERT_TRUE(viewer);
    const std::string shown = viewer.Text(kViewerText);
    EXPECT_NE(shown.find(plain), std::string::npos) << shown;
    EXPECT_EQ(shown.find("QVX Crypto-Text"), std::string::npos) << shown;
    EXPECT_EQ(shown.rfind("Reply above.", 0), 0u) << shown;
    viewer.Click(IDOK);
    ASSERT_TRUE(WaitGone(viewer.hwnd()));
  }
}

TEST_F(Hygiene, PasswordPromptAsksToBeKeptOutOfScreenCapture) {
  StartApp();
  StartNotepad("anything");
  ASSERT_TRUE(WindowCommand("Enter Encryption Password"));
  DialogDriver prompt = Prompt("Enter Encryption Password", "affinity-prompt");
  ASSERT_TRUE(prompt);
  DWORD affinity = 0;
  const bool read = GetWindowDisplayAffinity(prompt.hwnd(), &affinity) != FALSE;
  prompt.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(prompt.hwnd()));
  if (!read || affinity == 0) {
    GTEST_SKIP() << "this system does not keep window display affinity (Wine); the choice of "
                    "affinities is tested in the shell model tests";
  }
  EXPECT_TRUE(affinity == 0x11 || affinity == WDA_MONITOR) << affinity;
}

TEST_F(Hygiene, OptionsEditTheSafetyValuesAndRefuseNumbersOutOfRange) {
  constexpr int kKeepClipboard = 1440, kClearSeconds = 1441, kExtraDelay = 1442, kHide = 1443,
                kDirect = 1446;
  StartApp();
  app_.DoubleClickTray();
  DialogDriver options = app_.WaitForDialog("Options", "options-safety");
  ASSERT_TRUE(options);
  // The defaults.
  EXPECT_TRUE(options.Checked(kKeepClipboard));
  EXPECT_TRUE(options.Checked(kHide));
  EXPECT_TRUE(options.Checked(kDirect));
  EXPECT_EQ(options.Text(kClearSeconds), "30");
  EXPECT_EQ(options.Text(kExtraDelay), "0");

  const struct {
    const char* delay;
    const char* message;
  } refused[] = {
      {"5001", "Please enter the extra key delay as a whole number of milliseconds from 0 to 5000."},
      {"fast", "Please enter the extra key delay as a whole number of milliseconds from 0 to 5000."},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.delay);
    options.SetText(kExtraDelay, r.delay);
    options.Click(IDOK);
    ExpectQuorvixBox(app_.pid(), r.message, "delay-refused");
    EXPECT_TRUE(IsWindowVisible(options.hwnd()));
  }
  options.SetText(kClearSeconds, "-1");
  options.Click(IDOK);
  ExpectQuorvixBox(app_.pid(),
                   "Please enter after how many seconds the clipboard is cleared as a whole "
                   "number from 0 (never) to 3600.",
                   "seconds-refused");

  options.SetText(kClearSeconds, "0");
  options.SetText(kExtraDelay, "750");
  ASSERT_TRUE(options.SetChecked(kKeepClipboard, false));
  ASSERT_TRUE(options.SetChecked(kHide, false));
  ASSERT_TRUE(options.SetChecked(kDirect, false));
  options.Click(IDOK);
  ASSERT_TRUE(WaitGone(options.hwnd()));
  EXPECT_TRUE(WaitUntil([] {
    return settings::ReadDword("KeepClipboard") == 0u &&
           settings::ReadDword("ClearClipboardSeconds") == 0u &&
           settings::ReadDword("ExtraKeyDelay") == 750u && settings::ReadDword("HideFromCapture") == 0u &&
           settings::ReadDword("DirectAccess") == 0u;
  }));
}

// Signed texts, RSA-keys mode, with a key made directly in a program folder.
class NoProtection final : public ProtectionKeySource {
 public:
  std::optional<Key256> GetProtectionKey(const KeyFileHeader&) override { return std::nullopt; }
};

TEST_F(Hygiene, QuotedSignedTextVerifiesButNotWhenOneCharacterChanged) {
  KeyFolder folder;
  const GeneratedKey key = folder.MakeKey("Dora", "home key");
  NoProtection none;
  const std::string text = "I, Dora, agree to pay 100 coins.\r\nSigned in Lisbon.";
  const auto signed_text = SignText(text, folder.store(), key.private_path, none);
  ASSERT_TRUE(signed_text);
  const std::string quoted = PrefixLines(*signed_text, "> ");

  notepad_ = Notepad::Start();
  ASSERT_TRUE(notepad_.ok());
  app_ = folder.Start();
  const auto verify = [this] {
    EXPECT_TRUE(notepad_.Focus());
    notepad_.PressHotKey('W');
  };

  notepad_.SetText(quoted);
  ASSERT_TRUE(SendTextCommand(app_, verify, DialogShows(app_, "Verification Successful")));
  DialogDriver verified = app_.WaitForDialog("Verification Successful", "quoted-verified");
  ASSERT_TRUE(verified);
  verified.Click(IDOK);
  ASSERT_TRUE(WaitGone(verified.hwnd()));
  // Whatever else the program says about the form it was verified in.
  while (MessageBoxInfo note = WaitForMessageBox(app_.pid(), "verified-note", 1500)) {
    AnswerMessageBox(note, IDOK);
  }
  // The viewer shows the text as it was signed, without the quote prefix.
  DialogDriver covered = app_.WaitForDialog("Signed text as verified - Quorvix", "quoted-covered", 1000);
  ASSERT_TRUE(covered);
  const std::string shown = covered.Text(1000);
  EXPECT_EQ(shown.rfind("I, Dora, agree", 0), 0u) << shown;
  EXPECT_EQ(shown.find("> "), std::string::npos) << shown;
  covered.Click(IDOK);
  ASSERT_TRUE(WaitGone(covered.hwnd()));

  std::string changed = quoted;
  const std::size_t at = changed.find("100");
  ASSERT_NE(at, std::string::npos);
  changed[at] = '9';
  notepad_.SetText(changed);
  ASSERT_TRUE(SendTextCommand(app_, verify, BoxShows(app_, "Verification is FAILED")));
  const MessageBoxInfo failed = WaitForMessageBox(app_.pid(), "changed-not-verified");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed.text, "Verification is FAILED");
  AnswerMessageBox(failed, IDOK);
  EXPECT_EQ(notepad_.Text(), changed);
}

}  // namespace
}  // namespace qvx::e2e

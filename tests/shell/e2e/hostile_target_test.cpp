// Taking and replacing text in windows that make it hard: a custom-drawn text
// area that only keys and the clipboard reach (qvx_hostile_target.exe), which
// holds the clipboard after its copy, reads a paste late or never, or sits on
// top of everything; and, the other way round, notepad's edit control, whose
// text the program reads and writes without the clipboard at all. Each row
// asserts what the user sees: the text in the window, the messages, and the
// user's own clipboard afterwards.
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "tests/shell/e2e/text_command_test.h"
#include "tests/support/e2e/hostile_target.h"

namespace qvx::e2e {
namespace {

constexpr const char* kUsersText = "the user's own text";
constexpr const char* kWholeWindowCommand = "Encrypt/Decrypt &all window text";

// `text` is `prefix`, a crypto-text block, `suffix`, and `secret` is nowhere
// in it.
void ExpectBlockBetween(const std::string& text, const std::string& prefix,
                        const std::string& suffix, const std::string& secret) {
  ASSERT_GE(text.size(), prefix.size() + suffix.size()) << text;
  EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0) << text;
  EXPECT_EQ(text.compare(text.size() - suffix.size(), suffix.size(), suffix), 0) << text;
  const std::string block = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
  EXPECT_EQ(block.find(kStartLine), 2u) << text;
  EXPECT_NE(block.find(kEndLine), std::string::npos) << text;
  EXPECT_EQ(text.find(secret), std::string::npos) << text;
}

bool HoldsBlock(const std::optional<std::string>& text) {
  return text && text->find(kStartLine) == 2u;
}

// What answered a hot key: a message box of the program, and how long after
// the press it showed.
struct TimedAnswer {
  MessageBoxInfo box;
  ULONGLONG elapsed_ms = 0;
};

// Waits for a message box of the program and says how long after
// `started_at` it was found.
TimedAnswer WaitForAnswer(DWORD pid, ULONGLONG started_at, const std::string& what,
                          DWORD timeout_ms = kTimeoutMs) {
  TimedAnswer answer;
  WaitUntil(
      [&] {
        answer.box = FindMessageBox(pid);
        return answer.box && !answer.box.text.empty();
      },
      timeout_ms);
  answer.elapsed_ms = GetTickCount64() - started_at;
  if (answer.box) SaveScreenshot(answer.box.hwnd, what);
  return answer;
}

// Presses a hot key and times the program's answer from the press to the
// moment its message box shows with its text. A watcher looks for the box
// while the press runs (the press itself waits a moment to see that the hot
// key was not typed as a letter).
TimedAnswer PressAndTimeAnswer(const std::function<void()>& press, DWORD pid, const std::string& what) {
  const ULONGLONG pressed_at = GetTickCount64();
  std::atomic<ULONGLONG> shown_at{0};
  std::atomic<bool> stop{false};
  std::thread watcher([&] {
    while (!stop && GetTickCount64() - pressed_at < kTimeoutMs) {
      const MessageBoxInfo box = FindMessageBox(pid);
      if (box && !box.text.empty()) {
        shown_at = GetTickCount64();
        return;
      }
      Sleep(5);
    }
  });
  press();
  TimedAnswer answer;
  WaitUntil([&] { return shown_at != 0; });
  stop = true;
  watcher.join();
  answer.box = FindMessageBox(pid);
  if (!answer.box || shown_at == 0) return TimedAnswer{};
  answer.elapsed_ms = shown_at - pressed_at;
  SaveScreenshot(answer.box.hwnd, what);
  std::printf("[ answer ] \"%s\" after %llu ms\n", answer.box.text.c_str(),
              static_cast<unsigned long long>(answer.elapsed_ms));
  return answer;
}

// Fixture steps shared by both tables.
class HostileSteps : public TextCommandTest {
 protected:
  void DecryptWith(const std::string& password) {
    DialogDriver prompt = Prompt("Enter Decryption Password", "decryption-prompt");
    ASSERT_TRUE(prompt);
    Answer(prompt, password);
    EXPECT_TRUE(WaitGone(prompt.hwnd()));
  }
  // The user's clipboard holds kUsersText, and the program is set to put it
  // back after a command.
  static void GiveTheUserAClipboard() {
    ASSERT_TRUE(settings::WriteDword("KeepClipboard", 1));
    ASSERT_TRUE(clipboard::WriteText(kUsersText));
  }
  static bool UsersClipboardBack(DWORD timeout_ms = kTimeoutMs) {
    return WaitUntil([] { return clipboard::ReadText() == kUsersText; }, timeout_ms);
  }
};

// ---------------------------------------------------------------------------
// The target itself, without the program: each behaviour the rows below rely
// on, so that a row failing there means the program, not the harness.

bool ClipboardOpenable() {
  if (!OpenClipboard(nullptr)) return false;
  CloseClipboard();
  return true;
}

// The target holds "hostile text body" with "text" selected and the focus.
void CopiesTheSelection(const HostileTarget&) {
  ASSERT_TRUE(clipboard::WriteText("before"));
  PressChord({VK_CONTROL, 'C'});
  EXPECT_TRUE(WaitUntil([] { return clipboard::ReadText() == "text"; }))
      << clipboard::ReadText().value_or("(no text)");
}

// Keys arrive in order: a letter typed after Ctrl+C shows that the copy is
// over, and with nothing selected it left the clipboard alone.
void CopiesNothingWithoutASelection(const HostileTarget& target) {
  target.Select(8, 8);
  ASSERT_TRUE(clipboard::WriteText("before"));
  const DWORD sequence = GetClipboardSequenceNumber();
  PressChord({VK_CONTROL, 'C'});
  TypeText("z");
  ASSERT_TRUE(WaitUntil([&] { return target.Text() == "hostile ztext body"; })) << target.Text();
  EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
  EXPECT_EQ(clipboard::ReadText(), "before");
}

void PastesOverTheSelection(const HostileTarget& target) {
  ASSERT_TRUE(clipboard::WriteText("pasted"));
  PressChord({VK_CONTROL, 'V'});
  EXPECT_TRUE(WaitUntil([&] { return target.Text() == "hostile pasted body"; })) << target.Text();
  EXPECT_EQ(target.Selection(), std::make_pair(14, 14));
}

void HoldsTheClipboardAfterItsCopy(const HostileTarget&) {
  const DWORD sequence = GetClipboardSequenceNumber();
  PressChord({VK_CONTROL, 'C'});
  ASSERT_TRUE(WaitUntil([&] { return GetClipboardSequenceNumber() != sequence; }));
  const ULONGLONG copied_at = GetTickCount64();
  ASSERT_TRUE(WaitUntil([] { return !ClipboardOpenable(); }, 1000)) << "not held after the copy";
  ASSERT_TRUE(WaitUntil(ClipboardOpenable, 10000)) << "never let go";
  const ULONGLONG held_ms = GetTickCount64() - copied_at;
  std::printf("[ held ] %llu ms\n", static_cast<unsigned long long>(held_ms));
  EXPECT_GE(held_ms, 1000u);
  EXPECT_EQ(clipboard::ReadText(), "text");
}

void ReadsThePasteLate(const HostileTarget& target) {
  ASSERT_TRUE(clipboard::WriteText("late"));
  const ULONGLONG pressed_at = GetTickCount64();
  PressChord({VK_CONTROL, 'V'});
  ASSERT_TRUE(WaitUntil([&] { return target.Text() == "hostile late body"; })) << target.Text();
  EXPECT_GE(GetTickCount64() - pressed_at, 1200u);
}

void IgnoresThePaste(const HostileTarget& target) {
  ASSERT_TRUE(clipboard::WriteText("pasted"));
  PressChord({VK_CONTROL, 'V'});
  TypeText("z");
  ASSERT_TRUE(WaitUntil([&] { return target.Text() != "hostile text body"; })) << target.Text();
  EXPECT_EQ(target.Text(), "hostile z body");
}

void TopmostWithoutTakingTheFocus(const HostileTarget& target) {
  EXPECT_NE(GetWindowLongPtrA(target.window(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_NE(GetForegroundWindow(), target.window());
}

// The holding mode: the clipboard is taken when Hold returns, and free again
// once the holder has ended.
void HolderHoldsThenLetsGo(const HostileTarget&) {
  ClipboardHolder holder = ClipboardHolder::Hold(800);
  ASSERT_TRUE(holder.holding());
  EXPECT_FALSE(ClipboardOpenable());
  EXPECT_TRUE(holder.WaitReleased());
  EXPECT_TRUE(ClipboardOpenable());
}

struct SelfRow {
  const char* name;
  HostileOptions options;
  void (*check)(const HostileTarget&);
};

void PrintTo(const SelfRow& row, std::ostream* out) { *out << row.name; }

HostileOptions HoldAfterCopy(DWORD ms) {
  HostileOptions options;
  options.hold_after_copy_ms = ms;
  return options;
}
HostileOptions ReadLate(DWORD ms) {
  HostileOptions options;
  options.read_late_ms = ms;
  return options;
}
HostileOptions IgnorePaste() {
  HostileOptions options;
  options.ignore_paste = true;
  return options;
}
HostileOptions Plain() { return {}; }
HostileOptions Topmost() {
  HostileOptions options;
  options.topmost = true;
  return options;
}

class HostileTargetSelfTest : public QuorvixTest, public testing::WithParamInterface<SelfRow> {};

TEST_P(HostileTargetSelfTest, Behaves) {
  const SelfRow& row = GetParam();
  HostileTarget target = HostileTarget::Start(row.options);
  ASSERT_TRUE(target.ok()) << HostileCommandLine(row.options);
  target.SetText("hostile text body");
  target.Select(8, 12);
  EXPECT_EQ(target.TextW(), L"hostile text body");
  // Asked with WM_GETTEXT, the window answers with its text; its title (read
  // without a message from another process) stays.
  EXPECT_EQ(TextOf(target.window()), "hostile text body");
  char title[64] = {};
  GetWindowTextA(target.window(), title, sizeof title);
  EXPECT_STREQ(title, "Hostile target");
  if (!row.options.topmost) {
    ASSERT_TRUE(target.Focus());
  }
  row.check(target);
  if (HasFailure()) SaveScreenshot(nullptr, "at-failure");
}

const SelfRow kSelfRows[] = {
    {"CopiesTheSelection", Plain(), CopiesTheSelection},
    {"CopiesNothingWithoutASelection", Plain(), CopiesNothingWithoutASelection},
    {"PastesOverTheSelection", Plain(), PastesOverTheSelection},
    {"HoldsTheClipboardAfterItsCopy", HoldAfterCopy(1500), HoldsTheClipboardAfterItsCopy},
    {"ReadsThePasteLate", ReadLate(1500), ReadsThePasteLate},
    {"IgnoresThePaste", IgnorePaste(), IgnoresThePaste},
    {"TopmostWithoutTakingTheFocus", Topmost(), TopmostWithoutTakingTheFocus},
    {"HolderHoldsThenLetsGo", Plain(), HolderHoldsThenLetsGo},
};

INSTANTIATE_TEST_SUITE_P(Rows, HostileTargetSelfTest, testing::ValuesIn(kSelfRows),
                         [](const testing::TestParamInfo<SelfRow>& info) {
                           return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// The custom-drawn target, one row per way of treating the clipboard.

class HostileTargetTest;

struct HostileRow {
  const char* name;
  HostileOptions options;
  std::string text;      // the target's text at the start
  int select_start = 0;  // and its selection
  int select_end = 0;
  bool users_clipboard = false;  // GiveTheUserAClipboard() first
  void (HostileTargetTest::*run)() = nullptr;
  DWORD clipboard_held_ms = 0;  // another program holds the clipboard that long
};

class HostileTargetTest : public HostileSteps, public testing::WithParamInterface<HostileRow> {
 public:
  // Hot key on the selection while the target keeps the clipboard open after
  // its copy: the block replaces the selection.
  void SelectionThroughABusyClipboard() {
    const std::wstring before = target_.TextW();
    target_.PressHotKey(kSelectionKey);
    EncryptWith("pw");
    ASSERT_TRUE(target_.WaitTextChange(before)) << target_.Text();
    ExpectBlockBetween(target_.Text(), "Meet at noon, code ", ".", "4711");
  }

  // The target reads the pasted text seconds after Ctrl+V: it gets the block,
  // and the user's clipboard comes back only after that.
  void LateReaderGetsTheBlock() {
    const std::wstring before = target_.TextW();
    target_.PressHotKey(kWindowKey);
    EncryptWith("pw");
    ASSERT_TRUE(target_.WaitTextChange(before)) << target_.Text();
    const std::string text = target_.Text();
    EXPECT_NE(text, kUsersText) << "the target got the user's old clipboard";
    ExpectBlockBetween(text, "", "", GetParam().text);
    EXPECT_TRUE(UsersClipboardBack()) << clipboard::ReadText().value_or("(no text)");
  }

  // The target never reads the paste: the user is told, the text stays, and
  // the block waits on the clipboard.
  void IgnoredPasteIsReported() {
    target_.PressHotKey(kWindowKey);
    EncryptWith("pw");
    // The wait for the paste is bounded (some seconds), not endless.
    const TimedAnswer answer = WaitForAnswer(app_.pid(), GetTickCount64(), "did-not-arrive", 30000);
    const MessageBoxInfo& box = answer.box;
    ASSERT_TRUE(box) << "no message after a paste the window ignored";
    EXPECT_LE(answer.elapsed_ms, 15000u);
    EXPECT_NE(box.text.find("did not arrive"), std::string::npos) << box.text;
    EXPECT_EQ(target_.Text(), GetParam().text);
    EXPECT_TRUE(HoldsBlock(clipboard::ReadText())) << clipboard::ReadText().value_or("(no text)");
    EXPECT_TRUE(AnswerMessageBox(box));
    EXPECT_EQ(target_.Text(), GetParam().text);
    EXPECT_TRUE(HoldsBlock(clipboard::ReadText())) << clipboard::ReadText().value_or("(no text)");
  }

  // Whole window encrypted, then decrypted into the viewer and pasted back.
  void RoundTripThroughTheClipboard() {
    const std::wstring before = target_.TextW();
    target_.PressHotKey(kWindowKey);
    EncryptWith("pw");
    ASSERT_TRUE(target_.WaitTextChange(before)) << target_.Text();
    const std::string block = target_.Text();
    ExpectBlockBetween(block, "", "", "round trip");
    ASSERT_TRUE(KeysReleased());
    SaveScreenshot(nullptr, "custom-target-encrypted");

    ASSERT_TRUE(target_.Focus());
    target_.PressHotKey(kWindowKey);
    DecryptWith("pw");
    DialogDriver viewer = Viewer();
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer.Text(kViewerText), GetParam().text);
    EXPECT_EQ(target_.Text(), block);
    viewer.Click(kViewerPastBack);
    EXPECT_TRUE(WaitUntil([&] { return target_.Text() == GetParam().text; })) << target_.Text();
    viewer.Click(IDOK);
    EXPECT_TRUE(WaitGone(viewer.hwnd()));
  }

  // Notepad in front, a topmost window shown beside it without the focus: the
  // tray menu's command works on notepad, never on the topmost window.
  void TopmostWindowIsNotTheTarget() {
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == notepad_.window(); }, 5000));
    SaveScreenshot(nullptr, "notepad-and-topmost");
    ChooseCryptCommand(kWholeWindowCommand);
    EncryptWith("pw");
    ASSERT_TRUE(notepad_.WaitTextChange(L"notepad's text")) << notepad_.Text();
    ExpectBlockBetween(notepad_.Text(), "", "", "notepad's text");
    EXPECT_EQ(target_.Text(), GetParam().text);
  }

  // Another program holds the clipboard while the hot key is pressed: the
  // command either works or says why not, and the user's clipboard is never
  // lost to a snapshot that could not be taken.
  void BusyClipboardNeverWipesTheUsersText() {
    ClipboardHolder holder = ClipboardHolder::Hold(GetParam().clipboard_held_ms);
    ASSERT_TRUE(holder.holding());
    const std::wstring before = target_.TextW();
    target_.PressHotKey(kWindowKey);
    WindowMatch prompt_match;
    prompt_match.pid = app_.pid();
    prompt_match.title = "Enter Encryption Password";
    prompt_match.with_control = kPasswordEdit;
    MessageBoxInfo box;
    HWND prompt = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
      box = FindMessageBox(app_.pid());
      prompt = FindTopLevel(prompt_match);
      return (box && !box.text.empty()) || prompt != nullptr;
    })) << "neither a prompt nor a message";
    if (prompt != nullptr) {
      std::printf("[ outcome ] the command went ahead\n");
      EncryptWith("pw");
      ASSERT_TRUE(target_.WaitTextChange(before)) << target_.Text();
      ExpectBlockBetween(target_.Text(), "", "", GetParam().text);
    } else {
      std::printf("[ outcome ] message \"%s\"\n", box.text.c_str());
      SaveScreenshot(box.hwnd, "busy-clipboard-message");
      EXPECT_EQ(box.title, "Quorvix");
      EXPECT_TRUE(AnswerMessageBox(box));
      EXPECT_EQ(target_.Text(), GetParam().text);
    }
    EXPECT_TRUE(holder.WaitReleased());
    EXPECT_TRUE(UsersClipboardBack()) << clipboard::ReadText().value_or("(empty clipboard)");
  }

  // Nothing to take: the answer comes at once, not after a long wait.
  void EmptyWindowAnswersQuickly() { AnswersQuickly(kWindowKey, "empty-target"); }
  void NothingSelectedAnswersQuickly() { AnswersQuickly(kSelectionKey, "nothing-selected"); }

 protected:
  void SetUp() override {
    HostileSteps::SetUp();
    const HostileRow& row = GetParam();
    StartApp();
    if (row.users_clipboard) GiveTheUserAClipboard();
    if (row.options.topmost) StartNotepad("notepad's text");
    target_ = HostileTarget::Start(row.options);
    ASSERT_TRUE(target_.ok()) << HostileCommandLine(row.options);
    target_.SetText(row.text);
    target_.Select(row.select_start, row.select_end);
    if (row.options.topmost) {
      ASSERT_TRUE(notepad_.Focus());
    } else {
      ASSERT_TRUE(target_.Focus());
    }
  }

  // A window that is not a text field gets its chance to copy: the pause,
  // the keys (Ctrl+A, Ctrl+C take about 0.7 s) and a second of its time.
  void AnswersQuickly(WORD key, const std::string& what) {
    const TimedAnswer answer =
        PressAndTimeAnswer([&] { target_.PressHotKey(key); }, app_.pid(), what);
    ASSERT_TRUE(answer.box) << "no answer to the hot key";
    EXPECT_TRUE(answer.box.text == "Clipboard error!" || answer.box.text == "No text!")
        << answer.box.text;
    EXPECT_LE(answer.elapsed_ms, 3000u);
    EXPECT_TRUE(AnswerMessageBox(answer.box));
    EXPECT_EQ(target_.Text(), GetParam().text);
  }

  HostileTarget target_;
};

// Rows are named in test output, not dumped as bytes.
void PrintTo(const HostileRow& row, std::ostream* out) { *out << row.name; }

const HostileRow kHostileRows[] = {
    {"BusyClipboardAfterCopy", HoldAfterCopy(1500), "Meet at noon, code 4711.", 19, 23, false,
     &HostileTargetTest::SelectionThroughABusyClipboard},
    {"LateReader", ReadLate(2500), "read me late", 0, 0, true,
     &HostileTargetTest::LateReaderGetsTheBlock},
    {"IgnoredPaste", IgnorePaste(), "never pasted over", 0, 0, false,
     &HostileTargetTest::IgnoredPasteIsReported},
    {"CustomControlRoundTrip", Plain(), "round trip\r\nthrough the clipboard", 0, 0, false,
     &HostileTargetTest::RoundTripThroughTheClipboard},
    {"TopmostWindowNotTheTarget", Topmost(), "topmost text", 0, 0, false,
     &HostileTargetTest::TopmostWindowIsNotTheTarget},
    // Held for a moment, then past the program's first look at the clipboard.
    {"FailedSnapshotNeverWipes", Plain(), "held clipboard", 0, 0, true,
     &HostileTargetTest::BusyClipboardNeverWipesTheUsersText, 400},
    {"LongHeldClipboardNeverWipes", Plain(), "held clipboard", 0, 0, true,
     &HostileTargetTest::BusyClipboardNeverWipesTheUsersText, 1500},
    {"EmptyTarget", Plain(), "", 0, 0, false, &HostileTargetTest::EmptyWindowAnswersQuickly},
    {"NothingSelected", Plain(), "some text, nothing selected", 3, 3, false,
     &HostileTargetTest::NothingSelectedAnswersQuickly},
};

TEST_P(HostileTargetTest, WhatTheUserSees) { (this->*GetParam().run)(); }

INSTANTIATE_TEST_SUITE_P(Rows, HostileTargetTest, testing::ValuesIn(kHostileRows),
                         [](const testing::TestParamInfo<HostileRow>& info) {
                           return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// Notepad's edit control, read and written directly: the clipboard is never
// touched (its sequence number stays), unless DirectAccess is turned off.

// Wine's WordPad: its text in a rich edit control ("RichEdit20W"), driven
// like Notepad (single-line texts: a rich edit keeps paragraph ends as one
// character).
class WordPad {
 public:
  static WordPad Start() {
    WordPad pad;
    // Not on the search path: it lives in the accessories folder.
    pad.process_ =
        Process::Start(QuoteArgument("C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe"));
    if (!pad.process_.started()) return pad;
    WindowMatch match;
    match.pid = pad.process_.pid();
    pad.window_ = WaitForTopLevel(match);
    if (pad.window_ != nullptr) {
      WaitUntil([&] { return (pad.edit_ = FindRichEdit(pad.window_)) != nullptr; });
    }
    return pad;
  }
  bool ok() const { return window_ != nullptr && edit_ != nullptr; }
  // The rich edit control among the window's descendants.
  static HWND FindRichEdit(HWND window) {
    HWND found = nullptr;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM out) {
          if (_strnicmp(ClassOf(child).c_str(), "RichEdit", 8) != 0) return TRUE;
          *reinterpret_cast<HWND*>(out) = child;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  }
  void SetText(const std::string& ascii) const {
    const std::wstring wide(ascii.begin(), ascii.end());
    Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  }
  std::wstring TextW() const {
    const auto length = static_cast<std::size_t>(Send(WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    const auto got = static_cast<std::size_t>(
        Send(WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(got < length ? got : length);
    return text;
  }
  std::string Text() const {
    const std::wstring wide = TextW();
    std::string text;
    for (wchar_t c : wide) text += c < 0x80 ? static_cast<char>(c) : '?';
    return text;
  }
  void Select(int start, int end) const {
    Send(EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
  }
  bool Focus() const {
    return BringToForeground(window_) && WaitUntil([&] { return FocusOf(window_) == edit_; }, 5000);
  }
  bool WaitTextChange(const std::wstring& before, DWORD timeout_ms = kTimeoutMs) const {
    return WaitUntil([&] { return TextW() != before; }, timeout_ms);
  }
  void PressHotKey(WORD key) const { PressAltShiftHotKey(key); }

 private:
  LRESULT Send(UINT message, WPARAM wparam, LPARAM lparam) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(edit_, message, wparam, lparam, SMTO_ABORTIFHUNG, 20000, &result);
    return static_cast<LRESULT>(result);
  }
  Process process_;
  HWND window_ = nullptr;
  HWND edit_ = nullptr;
};

// The control's position after `text` (as WM_GETTEXT gives it): a rich edit
// counts a line break as one character.
int PositionAfter(const Notepad&, const std::string& text) { return static_cast<int>(text.size()); }
int PositionAfter(const WordPad&, const std::string& text) {
  int position = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    ++position;
  }
  return position;
}

enum class Editor { Notepad, WordPad };

struct DirectRow {
  const char* name;
  Editor editor;
  bool direct_access;
  std::string text;
  int select_start, select_end;  // used with the selection key
  WORD key;
  bool decrypt_too;  // then decrypt into the viewer and paste back
};

void PrintTo(const DirectRow& row, std::ostream* out) { *out << row.name; }

class DirectAccessTest : public HostileSteps, public testing::WithParamInterface<DirectRow> {
 protected:
  static std::string TraceLog() {
    const std::string program = QuorvixPath();
    return program.substr(0, program.find_last_of("\\/") + 1) + "Quorvix-trace.log";
  }
  // The program keeps its trace open: it is read once the program has ended.
  void TearDown() override {
    HostileSteps::TearDown();
    if (!HasFailure()) return;
    std::ifstream in(TraceLog(), std::ios::binary);
    std::printf("[ trace ]\n%s\n", std::string(std::istreambuf_iterator<char>(in), {}).c_str());
  }
  template <typename Target>
  void Run(const Target& target) {
    const DirectRow& row = GetParam();
    ASSERT_TRUE(target.ok());
    target.SetText(row.text);
    ASSERT_TRUE(target.Focus());
    const bool selection = row.key == kSelectionKey;
    if (selection) target.Select(row.select_start, row.select_end);
    const std::string prefix = selection ? row.text.substr(0, row.select_start) : "";
    const std::string suffix = selection ? row.text.substr(row.select_end) : "";
    const std::string secret =
        selection ? row.text.substr(row.select_start, row.select_end - row.select_start) : row.text;
    const DWORD sequence = GetClipboardSequenceNumber();

    const std::wstring before = target.TextW();
    target.PressHotKey(row.key);
    EncryptWith("pw");
    ASSERT_TRUE(target.WaitTextChange(before)) << target.Text();
    const std::string encrypted = target.Text();
    ExpectBlockBetween(encrypted, prefix, suffix, secret);
    ASSERT_TRUE(KeysReleased());
    SaveScreenshot(nullptr, "encrypted");
    if (row.direct_access) {
      EXPECT_EQ(GetClipboardSequenceNumber(), sequence) << "the clipboard was used to encrypt";
    }

    if (row.decrypt_too) {
      ASSERT_TRUE(target.Focus());
      if (selection) {
        target.Select(row.select_start,
                      PositionAfter(target, encrypted.substr(0, encrypted.size() - suffix.size())));
      }
      target.PressHotKey(row.key);
      DecryptWith("pw");
      DialogDriver viewer = Viewer();
      ASSERT_TRUE(viewer);
      EXPECT_EQ(viewer.Text(kViewerText), secret);
      viewer.Click(kViewerPastBack);
      EXPECT_TRUE(WaitUntil([&] { return target.Text() == row.text; }) && KeysReleased())
          << target.Text();
      viewer.Click(IDOK);
      EXPECT_TRUE(WaitGone(viewer.hwnd()));
    }

    if (row.direct_access) {
      EXPECT_EQ(GetClipboardSequenceNumber(), sequence)
          << "the clipboard was used" << (row.decrypt_too ? " to decrypt or paste back" : "");
    } else {
      EXPECT_NE(GetClipboardSequenceNumber(), sequence) << "DirectAccess 0 still read directly";
    }
    EXPECT_TRUE(UsersClipboardBack()) << clipboard::ReadText().value_or("(no text)");
  }
};

TEST_P(DirectAccessTest, EncryptAndDecryptInAnEditControl) {
  const DirectRow& row = GetParam();
  if (!row.direct_access) {
    ASSERT_TRUE(settings::WriteDword("DirectAccess", 0));
  }
  // The program's trace of each phase, shown when a row fails (which way the
  // text went is not visible from outside otherwise).
  DeleteFileA(TraceLog().c_str());
  ASSERT_TRUE(settings::WriteDword("Trace", 1));
  StartApp();
  GiveTheUserAClipboard();
  if (row.editor == Editor::WordPad) {
    const WordPad wordpad = WordPad::Start();
    Run(wordpad);
    if (HasFailure()) SaveScreenshot(nullptr, "wordpad-at-failure");
  } else {
    notepad_ = Notepad::Start();
    Run(notepad_);
  }
}

const std::string kLetter = "Dear Ann, the code is 4711. Regards";

const DirectRow kDirectRows[] = {
    {"EncryptSelection", Editor::Notepad, true, kLetter, 22, 26, kSelectionKey, false},
    {"SelectionRoundTrip", Editor::Notepad, true, kLetter, 22, 26, kSelectionKey, true},
    {"WholeWindowRoundTrip", Editor::Notepad, true, "first line\r\nsecond line", 0, 0, kWindowKey,
     true},
    {"WholeWindowOneLineRoundTrip", Editor::Notepad, true, "one line in notepad", 0, 0, kWindowKey,
     true},
    {"ClipboardPathWhenTurnedOff", Editor::Notepad, false, kLetter, 22, 26, kSelectionKey, false},
    {"WordPadSelectionRoundTrip", Editor::WordPad, true, kLetter, 22, 26, kSelectionKey, true},
    {"WordPadWholeWindowRoundTrip", Editor::WordPad, true, "one line in a rich edit", 0, 0,
     kWindowKey, true},
};

INSTANTIATE_TEST_SUITE_P(Rows, DirectAccessTest, testing::ValuesIn(kDirectRows),
                         [](const testing::TestParamInfo<DirectRow>& info) {
                           return std::string(info.param.name);
                         });


}  // namespace
}  // namespace qvx::e2e

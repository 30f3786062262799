// Standard text fields read and written directly: Wine's notepad (an edit
// control) and WordPad (a rich edit control). Encrypting a selection,
// decrypting with "Past back" and signing leave the clipboard untouched (its
// sequence number does not move) and the result is in the field afterwards.
// A field that cannot take the result (read-only, too small) is reported and
// the result left on the clipboard, the field unchanged.
#include <cstdio>

#include "tests/keys/ui/e2e/key_folder.h"
#include "tests/shell/e2e/text_command_test.h"
#include "tests/support/password_block.h"

namespace qvx::e2e {
namespace {

constexpr const char* kPrivateKeyPrompt = "Enter password to decrypt privat key data";
constexpr const char* kNotArrived =
    "The result did not arrive in the window: the original text may still be there.\n"
    "The result is on the clipboard: paste it yourself, or try again.";

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// A program whose text lives in one standard field: notepad or WordPad.
class FieldProgram {
 public:
  struct Kind {
    const char* name;
    const char* command_line;
    const char* window_class;
    const char* field_class;
  };

  static FieldProgram Start(const Kind& kind) {
    FieldProgram program;
    program.process_ = Process::Start(kind.command_line);
    WindowMatch match;
    match.pid = program.process_.pid();
    match.class_name = kind.window_class;
    program.window_ = WaitForTopLevel(match);
    if (program.window_ != nullptr) {
      WaitUntil([&] {
        return (program.field_ = FindWindowExA(program.window_, nullptr, kind.field_class, nullptr)) != nullptr;
      });
    }
    return program;
  }

  bool ok() const { return field_ != nullptr; }
  HWND window() const { return window_; }
  HWND field() const { return field_; }

  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(field_, message, wparam, lparam, SMTO_ABORTIFHUNG, 10000, &result);
    return static_cast<LRESULT>(result);
  }
  void SetText(const std::string& text) const {
    const std::wstring wide = Wide(text);
    Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  }
  // The text with line breaks as CR LF, whatever the field keeps.
  std::string Text() const {
    std::wstring text(static_cast<std::size_t>(Send(WM_GETTEXTLENGTH)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(Send(WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    std::string narrow;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == L'\r' && (i + 1 == text.size() || text[i + 1] != L'\n')) {
        narrow += "\r\n";
      } else {
        narrow += static_cast<char>(text[i]);
      }
    }
    return narrow;
  }
  void Select(int start, int end) const { Send(EM_SETSEL, static_cast<WPARAM>(start), end); }
  bool Focus() const {
    return BringToForeground(window_) && WaitUntil([&] { return FocusOf(window_) == field_; }, 5000);
  }
  // Presses Alt+Shift+key into the field.
  bool HotKey(WORD key) const {
    if (!Focus()) return false;
    PressAltShiftHotKey(key);
    return true;
  }

 private:
  Process process_;
  HWND window_ = nullptr;
  HWND field_ = nullptr;
};

const FieldProgram::Kind kPrograms[] = {
    {"notepad", "notepad.exe", "Notepad", "Edit"},
    {"wordpad", "\"C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe\"", "WORDPADTOP",
     "RichEdit20W"},
};

class DirectAccess : public TextCommandTest {
 protected:
  void ExpectBox(const std::string& text, const std::string& what) {
    ExpectQuorvixBox(app_.pid(), text, what);
  }
};

TEST_F(DirectAccess, EncryptAndDecryptWithPastBackNeverTouchTheClipboard) {
  StartApp();
  for (const auto& kind : kPrograms) {
    SCOPED_TRACE(kind.name);
    const std::string shot = std::string(kind.name) + "-";
    FieldProgram program = FieldProgram::Start(kind);
    ASSERT_TRUE(program.ok());
    const std::string before = "Dear Bob,\r\nthe code is 4711.\r\nRegards";
    program.SetText(before);
    // "the code is 4711." is selected: positions count a line break as one
    // character in a rich edit, two in an edit control.
    const int break_size = std::string(kind.field_class) == "Edit" ? 2 : 1;
    program.Select(9 + break_size, 9 + break_size + 17);
    ASSERT_TRUE(clipboard::WriteText("the user's own clipboard"));
    const DWORD sequence = GetClipboardSequenceNumber();

    ASSERT_TRUE(program.HotKey(kSelectionKey));
    EncryptWith("pw");
    ASSERT_TRUE(WaitUntil([&] { return program.Text().find(kStartLine) != std::string::npos; }, 10000))
        << program.Text();
    const std::string encrypted = program.Text();
    EXPECT_EQ(encrypted.rfind("Dear Bob,\r\n", 0), 0u) << encrypted;
    EXPECT_EQ(encrypted.find("4711"), std::string::npos) << encrypted;
    EXPECT_EQ(encrypted.substr(encrypted.size() - 9), "\r\nRegards") << encrypted;
    SaveScreenshot(nullptr, shot + "encrypted");

    // Decrypt the whole text; "Past back" writes the result into the field.
    ASSERT_TRUE(program.HotKey(kWindowKey));
    DialogDriver prompt = Prompt("Enter Decryption Password", shot + "decryption-prompt");
    ASSERT_TRUE(prompt);
    Answer(prompt, "pw");
    DialogDriver viewer = Viewer(shot + "viewer");
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer.Text(kViewerText), before);
    viewer.Click(kViewerPastBackClose);
    ASSERT_TRUE(WaitGone(viewer.hwnd()));
    EXPECT_TRUE(WaitUntil([&] { return program.Text() == before; }, 10000)) << program.Text();

    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    EXPECT_EQ(clipboard::ReadText(), "the user's own clipboard");
  }
}

TEST_F(DirectAccess, AFieldThatCannotTakeTheBlockIsReportedAndKeepsItsText) {
  StartApp();
  FieldProgram program = FieldProgram::Start(kPrograms[0]);
  ASSERT_TRUE(program.ok());
  const struct {
    const char* what;
    UINT message;
    WPARAM wparam;
  } rows[] = {
      {"read-only", EM_SETREADONLY, TRUE},
      // Room for the text, not for its block: the field would cut it off.
      {"too-small", EM_LIMITTEXT, 100},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string text = "a secret that stays where it is";
    program.Send(EM_SETREADONLY, FALSE);
    program.Send(EM_LIMITTEXT, 0);
    program.SetText(text);
    program.Send(row.message, row.wparam);
    ASSERT_TRUE(program.HotKey(kWindowKey));
    EncryptWith("pw");
    ExpectBox(kNotArrived, row.what);
    EXPECT_EQ(program.Text(), text);
    // The block is on the clipboard for the user.
    const auto left = clipboard::ReadText();
    ASSERT_TRUE(left);
    EXPECT_EQ(left->find(kStartLine), 2u) << *left;
  }
}

TEST_F(DirectAccess, SigningWritesTheSignatureIntoTheField) {
  KeyFolder folder;
  folder.MakeKey("Carol", "office key", std::string("carol pw"));
  ASSERT_TRUE(settings::WriteDword("IsSimmetrick", 0));
  for (const auto& kind : kPrograms) {
    SCOPED_TRACE(kind.name);
    const std::string shot = std::string(kind.name) + "-";
    Quorvix app = folder.Start();
    FieldProgram program = FieldProgram::Start(kind);
    ASSERT_TRUE(program.ok());
    const std::string text = "I agree to pay 100 coins.";
    program.SetText(text);
    const DWORD sequence = GetClipboardSequenceNumber();
    ASSERT_TRUE(SendTextCommand(app, [&] { program.HotKey('Q'); }, DialogShows(app, "Key Selection")));
    ASSERT_TRUE(ChooseKey(app, 0, shot + "signer"));
    ASSERT_TRUE(AnswerPassword(app, kPrivateKeyPrompt, "carol pw", shot + "private-key-password"));
    ASSERT_TRUE(WaitUntil([&] {
      return program.Text().find("--- End Of QVX Signature Part---") != std::string::npos;
    }, 20000)) << program.Text();
    EXPECT_EQ(program.Text().rfind(text + "\r\n--- Start Of QVX Signature Part---\r\n", 0), 0u)
        << program.Text();
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    SaveScreenshot(nullptr, shot + "signed");
    EXPECT_EQ(app.Exit(), 1u);
  }
}

}  // namespace
}  // namespace qvx::e2e

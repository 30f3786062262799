// Program copies with key folders of their own.
#include "tests/keys/ui/e2e/key_folder.h"

#include <commctrl.h>

#include <atomic>
#include <cstdio>

#include "engine/password_key.h"
#include "platform/files.h"

namespace qvx::e2e {

namespace {

constexpr int kKeyList = 1017;

std::string FreshFolder() {
  static std::atomic<int> counter{0};
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string base = std::string(temp) + "qvx-keys-" + std::to_string(GetCurrentProcessId()) + "-";
  for (;;) {
    std::string path = base + std::to_string(++counter);
    if (CreateDirectoryA(path.c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
}

// A click once the pointer has arrived and rested: a click sent together with
// the move can reach the window the pointer came from.
void ClickSteadily(POINT at) {
  SetCursorPos(at.x, at.y);
  WaitUntil([&] {
    POINT now{};
    GetCursorPos(&now);
    return now.x == at.x && now.y == at.y;
  }, 2000);
  Sleep(100);
  ClickAt(at);
}

}  // namespace

KeyFolder::KeyFolder() : path_(FreshFolder()), store_(path_, NativeFileSystem()) {
  EXPECT_FALSE(path_.empty());
  EXPECT_TRUE(CopyFileA(QuorvixPath().c_str(), program().c_str(), FALSE)) << program();
}

KeyFolder::~KeyFolder() {
  // The program may still be closing its files.
  WaitUntil([&] {
    RemoveTree(path_);
    return GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES;
  }, 5000);
}

Quorvix KeyFolder::Start(const std::string& args) const {
  Quorvix app = Quorvix::LaunchProgram(program(), args);
  EXPECT_NE(app.WaitMainWindow(), nullptr);
  return app;
}

GeneratedKey KeyFolder::MakeKey(const std::string& owner, const std::string& note,
                                const std::optional<std::string>& password) const {
  std::optional<Key256> protection;
  if (password) protection = PasswordToKey(*password);
  auto key = GenerateKeyPair(store_, 1024, owner, note, protection ? &*protection : nullptr);
  EXPECT_TRUE(key) << key.error().detail;
  return key ? std::move(*key) : GeneratedKey{};
}

std::vector<std::string> KeyFolder::Files(std::string_view subfolder) const {
  auto names = NativeFileSystem().ListFiles(JoinPath(path_, subfolder));
  return names ? *names : std::vector<std::string>{};
}

std::vector<std::vector<std::string>> KeyRows(const DialogDriver& dialog) {
  auto rows = ReadListView(dialog.Control(kKeyList));
  for (auto& row : rows) {
    if (!row.empty()) row.erase(row.begin());
  }
  return rows;
}

void SelectKeyRow(const DialogDriver& dialog, int row) {
  ASSERT_TRUE(BringToForeground(dialog.hwnd()));
  // A click on the dialog's list would also do; the keys reach it wherever
  // the focus was in the dialog once the list has it.
  HWND list = dialog.Control(kKeyList);
  const bool focused = WaitUntil([&] {
    if (FocusOf(dialog.hwnd()) == list) return true;
    ClickSteadily(dialog.CenterOf(kKeyList));
    return FocusOf(dialog.hwnd()) == list;
  }, 5000);
  if (!focused) {
    SaveScreenshot(nullptr, "select-row-failed");
    FAIL() << "focus " << FocusOf(dialog.hwnd()) << " " << ClassOf(FocusOf(dialog.hwnd())) << " fg "
           << TextOf(GetForegroundWindow());
  }
  PressKey(VK_HOME);
  for (int i = 0; i < row; ++i) PressKey(VK_DOWN);
  const bool selected = WaitUntil([&] {
    const auto rows = ReadListView(list);
    return row < static_cast<int>(rows.size()) && !rows[row].empty() && rows[row][0] == "S";
  }, 5000);
  if (!selected) {
    SaveScreenshot(nullptr, "select-row-failed");
    FAIL() << "row " << row << " not selected";
  }
}

bool KeyRowTicked(const DialogDriver& dialog, int row) {
  // The item state is a plain number: it reads across processes.
  const auto state = SendMessageA(dialog.Control(kKeyList), LVM_GETITEMSTATE,
                                  static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
  return ((static_cast<UINT>(state) & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void TickKeyRow(const DialogDriver& dialog, int row) {
  ASSERT_FALSE(KeyRowTicked(dialog, row)) << "row " << row << " ticked before";
  // A key press can be lost while the dialog is still settling after it came
  // forward: the row is chosen again and the space bar pressed once more,
  // only while the row shows no tick.
  for (int attempt = 0; attempt < 3; ++attempt) {
    SelectKeyRow(dialog, row);
    if (::testing::Test::HasFatalFailure()) return;
    PressKey(VK_SPACE);
    if (WaitUntil([&] { return KeyRowTicked(dialog, row); }, 2000)) return;
    std::fprintf(stderr, "the space bar did not tick row %d (focus %s, foreground \"%s\")\n", row,
                 ClassOf(FocusOf(dialog.hwnd())).c_str(), TextOf(GetForegroundWindow()).c_str());
    SaveScreenshot(nullptr, "tick-row-lost");
  }
  FAIL() << "row " << row << " could not be ticked";
}

void ClickKeyColumn(const DialogDriver& dialog, int column) {
  HWND list = dialog.Control(kKeyList);
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);
  RECT r{};
  GetWindowRect(header, &r);
  int x = r.left;
  for (int i = 0; i < column; ++i) x += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
  x += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)) / 2;
  ClickSteadily(POINT{x, (r.top + r.bottom) / 2});
}

}  // namespace qvx::e2e

namespace qvx::e2e {

bool ChooseKey(Quorvix& app, int row, const std::string& what) {
  DialogDriver selection = app.WaitForDialog("Key Selection", what);
  if (!selection) return false;
  SelectKeyRow(selection, row);
  selection.Click(IDOK);
  return WaitGone(selection.hwnd());
}

bool AnswerPassword(Quorvix& app, const std::string& title, const std::string& password,
                    const std::string& what) {
  DialogDriver prompt = app.WaitForDialog(title, what, 1002);
  if (!prompt) return false;
  // The private-key prompt offers to keep the password in the password
  // storage, which would first ask for a storage login: the key tests leave
  // the storage out.
  if (title == "Enter password to decrypt privat key data") prompt.SetChecked(1005, false);
  prompt.SetText(1002, password);
  prompt.Click(IDOK);
  return WaitGone(prompt.hwnd());
}

bool SendTextCommand(Quorvix& app, const std::function<void()>& send,
                     const std::function<bool()>& started) {
  constexpr const char* kBusy = "Quorvix is still working on another text. Finish or cancel it first.";
  for (int attempt = 0; attempt < 10; ++attempt) {
    const DWORD clipboard_before = GetClipboardSequenceNumber();
    send();
    MessageBoxInfo refused;
    const auto answered = [&] {
      refused = FindMessageBox(app.pid());
      return started() || (refused && refused.text == kBusy);
    };
    // A command taken in empties the clipboard or copies into it before it
    // shows anything, which on a loaded machine can take longer than a
    // refusal: sent again then, it would be refused in the middle of the
    // first one's steps.
    if (!WaitUntil(answered, 3000) && GetClipboardSequenceNumber() != clipboard_before) {
      WaitUntil(answered);
    }
    if (started()) return true;
    if (refused && refused.text == kBusy) AnswerMessageBox(refused);
    Sleep(200);
  }
  return false;
}

std::function<bool()> DialogShows(Quorvix& app, const std::string& title) {
  return [&app, title] {
    WindowMatch match;
    match.pid = app.pid();
    match.class_name = "#32770";
    match.title = title;
    return FindTopLevel(match) != nullptr;
  };
}

std::function<bool()> BoxShows(Quorvix& app, const std::string& text) {
  return [&app, text] { return FindMessageBox(app.pid()).text == text; };
}

bool AnswerFileDialog(Quorvix& app, const std::string& title, const std::string& path) {
  WindowMatch match;
  match.pid = app.pid();
  match.class_name = "#32770";
  match.title = title;
  HWND dialog = WaitForTopLevel(match);
  if (dialog == nullptr) return false;
  SaveScreenshot(dialog, title);
  DialogDriver files(dialog);
  // The file name box of the Explorer-style dialogs.
  files.SetText(1148, path);
  files.Click(IDOK);
  return WaitGone(dialog);
}

}  // namespace qvx::e2e

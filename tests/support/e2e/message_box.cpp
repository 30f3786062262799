// Reading and answering message boxes.
#include "tests/support/e2e/message_box.h"

#include <gtest/gtest.h>

#include "tests/support/e2e/screenshot.h"
#include "tests/support/e2e/window_query.h"

namespace qvx::e2e {

namespace {

// A message box holds static controls (its icon and text) and push buttons
// with the standard ids (IDOK to IDCONTINUE) and nothing else. Other
// dialogs have unnumbered texts too (the system's Find dialog, a dialog of
// the program with labels and a progress bar or a list): they have other
// controls beside.
bool OnlyMessageBoxControls(HWND box) {
  bool only = true;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM param) -> BOOL {
        const std::string name = ClassOf(child);
        const int id = GetDlgCtrlID(child);
        if (name == "Static" || (name == "Button" && id >= IDOK && id <= IDCONTINUE)) return TRUE;
        *reinterpret_cast<bool*>(param) = false;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&only));
  return only;
}

}  // namespace

MessageBoxInfo FindMessageBox(DWORD pid) {
  WindowMatch match;
  match.pid = pid;
  match.class_name = "#32770";
  match.with_control = kMessageBoxTextId;
  for (HWND box : TopLevelWindows(match)) {
    if (!OnlyMessageBoxControls(box)) continue;
    return MessageBoxInfo{box, TextOf(box), TextOf(GetDlgItem(box, kMessageBoxTextId))};
  }
  return {};
}

MessageBoxInfo WaitForMessageBox(DWORD pid, const std::string& what, DWORD timeout_ms) {
  MessageBoxInfo box;
  // A box is found as soon as its window exists, which can be before its
  // text is in place: wait for the text too (every box here has one).
  WaitUntil([&] { return static_cast<bool>(box = FindMessageBox(pid)) && !box.text.empty(); },
            timeout_ms);
  if (box) SaveScreenshot(box.hwnd, what);
  return box;
}

bool AnswerMessageBox(const MessageBoxInfo& box, int button) {
  if (!box) return false;
  HWND control = GetDlgItem(box.hwnd, button);
  if (control != nullptr) {
    PostMessageA(control, BM_CLICK, 0, 0);
  } else {
    PostMessageA(box.hwnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  }
  return WaitGone(box.hwnd);
}

void ExpectQuorvixBox(DWORD pid, const std::string& text, const std::string& what, int button) {
  const MessageBoxInfo box = WaitForMessageBox(pid, what);
  ASSERT_TRUE(box) << "no message box saying: " << text;
  EXPECT_EQ(box.title, "Quorvix");
  EXPECT_EQ(box.text, text);
  EXPECT_TRUE(AnswerMessageBox(box, button));
}

}  // namespace qvx::e2e

// SendInput keyboard and mouse helpers.
#include "tests/support/e2e/input.h"

#include <cstdio>

#include <vector>

#include "tests/support/e2e/process.h"

namespace qvx::e2e {

namespace {

bool IsExtended(WORD key) {
  switch (key) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_HOME: case VK_END:
    case VK_PRIOR: case VK_NEXT: case VK_INSERT: case VK_DELETE: case VK_RMENU:
    case VK_RCONTROL: case VK_LWIN: case VK_RWIN: case VK_APPS:
      return true;
    default:
      return false;
  }
}

INPUT KeyEvent(WORD key, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = key;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtended(key) ? KEYEVENTF_EXTENDEDKEY : 0);
  return in;
}

void Send(std::vector<INPUT> events) {
  SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
}

INPUT MouseMove(POINT screen) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  in.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return in;
}

INPUT MouseButton(DWORD flag) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flag;
  return in;
}

}  // namespace

void PressChord(std::initializer_list<WORD> keys) {
  std::vector<INPUT> events;
  for (WORD k : keys) events.push_back(KeyEvent(k, false));
  for (auto it = keys.end(); it != keys.begin();) events.push_back(KeyEvent(*--it, true));
  Send(events);
}

void PressKey(WORD key) { PressChord({key}); }

bool ModifiersUp() {
  for (WORD key : {VK_CONTROL, VK_MENU, VK_SHIFT, VK_LWIN, VK_RWIN}) {
    if ((GetAsyncKeyState(key) & 0x8000) != 0) return false;
  }
  return true;
}

void SettleModifiers() {
  if (!WaitUntil(ModifiersUp, 5000)) ReleaseStuckModifiers();
}

std::vector<WORD> ReleaseStuckModifiers() {
  std::vector<WORD> stuck;
  for (WORD key : {VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU, VK_LSHIFT, VK_RSHIFT, VK_LWIN,
                   VK_RWIN}) {
    if ((GetAsyncKeyState(key) & 0x8000) == 0) continue;
    stuck.push_back(key);
    std::fprintf(stderr, "e2e: modifier key 0x%02X was still down; released\n", key);
    Send({KeyEvent(key, true)});
  }
  return stuck;
}

void KeyDown(WORD key) { Send({KeyEvent(key, false)}); }

void KeyUp(WORD key) { Send({KeyEvent(key, true)}); }

void TypeText(std::string_view text) {
  for (char c : text) {
    const SHORT scan = VkKeyScanA(c);
    if (scan == -1) continue;
    const WORD key = LOBYTE(scan);
    const bool shift = (HIBYTE(scan) & 1) != 0;
    if (shift) {
      PressChord({VK_SHIFT, key});
    } else {
      PressKey(key);
    }
  }
}

void ClickAt(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  // The move travels with the buttons: a button event alone may still carry
  // the position from before SetCursorPos.
  Send({MouseMove(screen), MouseButton(MOUSEEVENTF_LEFTDOWN), MouseButton(MOUSEEVENTF_LEFTUP)});
}

void RightClickAt(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  Send({MouseMove(screen), MouseButton(MOUSEEVENTF_RIGHTDOWN), MouseButton(MOUSEEVENTF_RIGHTUP)});
}

void DoubleClickAt(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  Send({MouseMove(screen), MouseButton(MOUSEEVENTF_LEFTDOWN), MouseButton(MOUSEEVENTF_LEFTUP),
        MouseButton(MOUSEEVENTF_LEFTDOWN), MouseButton(MOUSEEVENTF_LEFTUP)});
}

void MoveMouseTo(POINT screen) { Send({MouseMove(screen)}); }

void ParkMouse() {
  const POINT corner{0, 0};
  SetCursorPos(corner.x, corner.y);
  MoveMouseTo(corner);
}

bool BringToForeground(HWND window) {
  return WaitUntil(
      [&] {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        return false;
      },
      5000);
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

}  // namespace qvx::e2e

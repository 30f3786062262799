// Key sequences through SendInput.
#include "shell/key_player.h"

#include <windows.h>

namespace qvx::shell {

namespace {

bool IsExtendedKey(std::uint8_t key) {
  return key == vk::kRightAlt || key == vk::kRightControl || key == vk::kLeftWin ||
         key == vk::kRightWin;
}

// Scan codes come from the keyboard layout of the window that will get the
// keys, so that the sequences mean the same on every layout.
HKL TargetLayout() {
  HWND focus = GetForegroundWindow();
  const DWORD thread = focus != nullptr ? GetWindowThreadProcessId(focus, nullptr) : 0;
  return GetKeyboardLayout(thread);
}

std::vector<std::uint8_t> HeldModifiers() {
  std::vector<std::uint8_t> held;
  for (std::uint8_t key : ReleasableModifiers()) {
    if ((GetAsyncKeyState(key) & 0x8000) != 0) held.push_back(key);
  }
  return held;
}

}  // namespace

bool PlayKeySequence(const KeySequence& sequence) {
  const HKL layout = TargetLayout();
  bool all = true;
  for (const KeyEvent& event : WithHeldModifiersReleased(sequence, HeldModifiers())) {
    if (event.delay_before_ms > 0) Sleep(event.delay_before_ms);
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = event.key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyExW(event.key, MAPVK_VK_TO_VSC, layout));
    input.ki.dwFlags = (event.up ? KEYEVENTF_KEYUP : 0) |
                       (IsExtendedKey(event.key) ? KEYEVENTF_EXTENDEDKEY : 0);
    if (SendInput(1, &input, sizeof input) != 1) all = false;
  }
  return all;
}

}  // namespace qvx::shell

// Keyboard and mouse input through SendInput, as a user's would arrive: it goes
// to the foreground window (keys) or to the window under the cursor (mouse),
// and global hot keys see it.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string_view>
#include <vector>

namespace qvx::e2e {

// Presses the virtual keys in order and releases them in reverse order:
// PressChord({VK_MENU, VK_SHIFT, 'A'}) is Alt+Shift+A.
void PressChord(std::initializer_list<WORD> keys);
void PressKey(WORD key);
// Whether Ctrl, Alt, Shift and both Win keys are all up.
bool ModifiersUp();
// Waits until they are: the Ctrl of a program's Ctrl+V goes up some 100 ms
// after the text arrived, and a hot key pressed meanwhile would be
// Ctrl+Alt+Shift+key, which no hot key matches. One still down after five
// seconds has nobody left to release it (a program ended in the middle of its
// keys): it is released, and that is said on stderr.
void SettleModifiers();
// Releases Ctrl, Alt, Shift and Win keys that are still down (a program that
// ended in the middle of a key sequence leaves them so) and returns them.
std::vector<WORD> ReleaseStuckModifiers();
// One key pressed or released, for chords held across other steps.
void KeyDown(WORD key);
void KeyUp(WORD key);
// Types letters, digits and punctuation of the current keyboard layout.
void TypeText(std::string_view text);

void ClickAt(POINT screen);
void RightClickAt(POINT screen);
void DoubleClickAt(POINT screen);
// Moves the mouse there as a user would (the windows below see the move).
void MoveMouseTo(POINT screen);
// Puts the mouse in the top left corner of the screen, away from where
// windows open, so that no window starts with the mouse resting on it.
void ParkMouse();

// Makes a window of another process the foreground window; true when it is.
bool BringToForeground(HWND window);

// The control with the keyboard focus in the thread that owns the window.
HWND FocusOf(HWND window);

}  // namespace qvx::e2e

// Balloons over list cells: when the mouse rests on a cell of a report list
// view whose text the list cuts short, a borderless light-yellow window shows
// the whole text over the cell, inside the screen. Any key, scroll, click or
// mouse move in the list takes it away; clicks on it reach the list below.
#pragma once

#include <windows.h>

namespace qvx::win32ui {

// Subclasses the list (call it once, in the dialog's WM_INITDIALOG). The
// subclass and its balloon go away with the list.
void SubclassListForBalloon(HWND list);

// The balloon window currently shown for that list, if any (for tests).
HWND BalloonOfList(HWND list);

// Window class of the balloons.
inline constexpr const char* kBalloonClass = "BALLOON";

}  // namespace qvx::win32ui

// Where a control anchored to some edges of a resizable dialog goes when the
// dialog's client area grows or shrinks by (dx, dy): an edge it is anchored
// to keeps its distance to that side of the dialog; a control anchored to
// neither of two opposite edges keeps its place on that axis.
#pragma once

namespace qvx::win32ui {

enum AnchorEdge : unsigned { kAnchorLeft = 1, kAnchorTop = 2, kAnchorRight = 4, kAnchorBottom = 8 };

struct ControlRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const ControlRect& a, const ControlRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }
};

// The control's rectangle (in dialog client coordinates) after the resize.
ControlRect AnchoredRect(const ControlRect& start, unsigned edges, int dx, int dy);

}  // namespace qvx::win32ui

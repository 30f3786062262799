// The anchoring rule of resizable dialogs.
#include "win32ui/model/anchor_rule.h"

namespace qvx::win32ui {

namespace {

// One axis: the near edge moves only when the control is anchored to the far
// edge alone; the far edge moves whenever it is anchored there.
void Stretch(int& near_side, int& far_side, bool near_anchored, bool far_anchored, int delta) {
  if (!far_anchored) return;
  far_side += delta;
  if (!near_anchored) near_side += delta;
}

}  // namespace

ControlRect AnchoredRect(const ControlRect& start, unsigned edges, int dx, int dy) {
  ControlRect r = start;
  Stretch(r.left, r.right, (edges & kAnchorLeft) != 0, (edges & kAnchorRight) != 0, dx);
  Stretch(r.top, r.bottom, (edges & kAnchorTop) != 0, (edges & kAnchorBottom) != 0, dy);
  return r;
}

}  // namespace qvx::win32ui

// Keeps the controls of a resizable dialog where they were relative to the
// edges they are anchored to when the dialog changes size (the rule is
// win32ui/model/anchor_rule.h), and keeps the dialog from getting smaller
// than it started.
#pragma once

#include <windows.h>

#include <vector>

#include "win32ui/model/anchor_rule.h"

namespace qvx::win32ui {

class AnchoredLayout {
 public:
  enum Edge : unsigned {
    Left = kAnchorLeft,
    Top = kAnchorTop,
    Right = kAnchorRight,
    Bottom = kAnchorBottom,
  };

  // Records a control's place in the dialog as it is now (a missing control
  // is left out).
  void Add(HWND dialog, int id, unsigned edges);
  // Records the dialog's size as it is now: the size the places belong to.
  void Start(HWND dialog);
  // Moves the controls for a client area of this size (WM_SIZE).
  void Apply(int width, int height) const;
  // The dialog may not get smaller than it started (WM_GETMINMAXINFO).
  void Limit(MINMAXINFO& info) const;

 private:
  struct Item {
    HWND control;
    ControlRect rect;
    unsigned edges;
  };
  std::vector<Item> items_;
  RECT client_{};
  RECT window_{};
};

}  // namespace qvx::win32ui

// Anchored controls of resizable dialogs.
#include "win32ui/anchored_layout.h"

namespace qvx::win32ui {

void AnchoredLayout::Add(HWND dialog, int id, unsigned edges) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return;
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  items_.push_back({control, ControlRect{r.left, r.top, r.right, r.bottom}, edges});
}

void AnchoredLayout::Start(HWND dialog) {
  GetClientRect(dialog, &client_);
  GetWindowRect(dialog, &window_);
}

void AnchoredLayout::Apply(int width, int height) const {
  const int dx = width - (client_.right - client_.left);
  const int dy = height - (client_.bottom - client_.top);
  for (const Item& item : items_) {
    const ControlRect r = AnchoredRect(item.rect, item.edges, dx, dy);
    SetWindowPos(item.control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(item.control, nullptr, TRUE);
  }
}

void AnchoredLayout::Limit(MINMAXINFO& info) const {
  info.ptMinTrackSize.x = window_.right - window_.left;
  info.ptMinTrackSize.y = window_.bottom - window_.top;
}

}  // namespace qvx::win32ui

// Balloon geometry.
#include "win32ui/model/balloon_layout.h"

namespace qvx::win32ui {

bool TextFitsCell(int text_width, int cell_width, int margin) {
  return text_width + 2 * margin <= cell_width;
}

int MaxBalloonTextWidth(const PixelRect& screen) {
  const int width = screen.width() - 2 * kBalloonExtraWidth;
  return width > 40 ? width : 40;
}

PixelRect PlaceBalloon(const PixelRect& cell, int text_width, int text_height,
                       const PixelRect& screen) {
  const int width = text_width + kBalloonExtraWidth;
  const int height = text_height + kBalloonExtraHeight;
  int x = cell.left - 1;
  int y = cell.top;
  if (x + width > screen.right) x = screen.right - width;
  if (x < screen.left) x = screen.left;
  if (y + height > screen.bottom) y = screen.bottom - height;
  if (y < screen.top) y = screen.top;
  return PixelRect{x, y, x + width, y + height};
}

std::optional<PixelRect> PlaceOutside(const PixelRect& avoid, int width, int height,
                                      const PixelRect& screen) {
  if (width > screen.width() || height > screen.height()) return std::nullopt;
  auto clamp_x = [&](int x) {
    return x < screen.left ? screen.left : (x + width > screen.right ? screen.right - width : x);
  };
  auto clamp_y = [&](int y) {
    return y < screen.top ? screen.top : (y + height > screen.bottom ? screen.bottom - height : y);
  };
  auto at = [&](int x, int y) { return PixelRect{x, y, x + width, y + height}; };
  if (avoid.bottom + height <= screen.bottom) return at(clamp_x(avoid.left), avoid.bottom);
  if (avoid.top - height >= screen.top) return at(clamp_x(avoid.left), avoid.top - height);
  if (avoid.right + width <= screen.right) return at(avoid.right, clamp_y(avoid.top));
  if (avoid.left - width >= screen.left) return at(avoid.left - width, clamp_y(avoid.top));
  return std::nullopt;
}

}  // namespace qvx::win32ui

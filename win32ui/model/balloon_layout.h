// Where the list helpers put their windows: the balloon, a small window over
// a list cell that shows the cell's whole text when the list cuts it short,
// and the Find dialog, beside the list's dialog. Pure geometry in pixels, so
// that the rules are tested without a screen.
#pragma once

#include <optional>

namespace qvx::win32ui {

struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

// Room the balloon's border and margins take around its text.
inline constexpr int kBalloonExtraWidth = 6;
inline constexpr int kBalloonExtraHeight = 2;

// True when the list shows the whole text in a cell of that width: the list
// draws cell texts with a margin on each side, so a text fits only when it is
// narrower than the cell by that margin.
bool TextFitsCell(int text_width, int cell_width, int margin);

// The widest text a balloon shows on one line on that screen; longer texts
// wrap into lines of this width.
int MaxBalloonTextWidth(const PixelRect& screen);

// The balloon's window rectangle for a text of that size over a cell: its text
// starts where the cell's does, and the window is moved as little as needed to
// stay inside the screen (left and top edges win when it is larger).
PixelRect PlaceBalloon(const PixelRect& cell, int text_width, int text_height,
                       const PixelRect& screen);

// A place for a window of that size on the screen that does not cover
// `avoid`: below it, else above, else right of it, else left of it, as close
// to it as possible; nullopt when there is no room on any side.
std::optional<PixelRect> PlaceOutside(const PixelRect& avoid, int width, int height,
                                      const PixelRect& screen);

}  // namespace qvx::win32ui

// Screenshots of windows and of the whole desktop as PNG files in the build
// folder (build/win64/screenshots/<suite>-<test>-<what>.png), and looking for
// an icon in a part of the screen.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace qvx::e2e {

// Saves what the screen shows of a window (nullptr: the whole desktop) after
// letting it paint; returns the file's path, empty on failure. The name is made
// of the running test's name and "what"; repeated names get a counter.
std::string SaveScreenshot(HWND window, std::string_view what);

// The same with a file path of the caller's choosing.
bool SaveScreenshotTo(HWND window, const std::string& path);

// The folder the screenshots go to.
std::string ScreenshotFolder();
// Deletes the screenshots of earlier runs whose names start with the prefix.
void RemoveScreenshots(const std::string& prefix);

// Pixels of a screen rectangle, 0x00RRGGBB, row by row from the top.
struct ScreenImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
ScreenImage CaptureScreen(const RECT& area);
// An icon drawn at size x size on a background colour, as the shell draws it.
ScreenImage RenderIcon(HICON icon, int size, std::uint32_t background);
// Whether the picture appears somewhere in the image (each channel within
// "tolerance" for nearly all pixels).
bool ContainsPicture(const ScreenImage& haystack, const ScreenImage& picture, int tolerance = 24);

}  // namespace qvx::e2e

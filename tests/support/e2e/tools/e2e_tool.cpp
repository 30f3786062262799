// qvx_e2e_tool.exe: the end-to-end helpers from a shell script, for
// scripts/run.sh on a headless desktop:
//   qvx_e2e_tool wait-tray            wait until Quorvix's tray icon exists
//   qvx_e2e_tool desktop <png>        screenshot of the whole desktop
//   qvx_e2e_tool tray-menu <png>      open the tray menu as a right click on the
//                                     icon would, and screenshot the desktop
//   qvx_e2e_tool close                end the tray menu, send Quorvix WM_CLOSE
// Paths are Windows paths. The exit code is 0 on success.
#include <cstdio>
#include <string>

#include "tests/support/e2e/e2e.h"

using namespace qvx::e2e;

namespace {

HWND MainWindow() {
  WindowMatch match;
  match.class_name = Quorvix::kWindowClass;
  match.visible_only = false;
  return WaitForTopLevel(match);
}

int Usage() {
  std::fprintf(stderr, "usage: qvx_e2e_tool wait-tray | desktop <png> | tray-menu <png> | close\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  HWND main = MainWindow();
  if (main == nullptr) {
    std::fprintf(stderr, "qvx_e2e_tool: Quorvix is not running\n");
    return 1;
  }
  const DWORD pid = ProcessOf(main);
  if (command == "wait-tray") return WaitUntil([&] { return TrayIconExists(main); }) ? 0 : 1;
  if (command == "desktop" && argc == 3) return SaveScreenshotTo(nullptr, argv[2]) ? 0 : 1;
  if (command == "tray-menu" && argc == 3) {
    if (OpenTrayMenuOf(main) == nullptr) return 1;
    return SaveScreenshotTo(nullptr, argv[2]) ? 0 : 1;
  }
  if (command == "close") {
    for (HWND menu : PopupMenuWindows(pid)) EndMenus(menu);
    PostMessageA(main, WM_CLOSE, 0, 0);
    return WaitGone(main) ? 0 : 1;
  }
  return Usage();
}

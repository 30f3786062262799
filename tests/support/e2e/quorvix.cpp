// Quorvix.exe under test.
#include "tests/support/e2e/quorvix.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "tests/support/e2e/input.h"
#include "tests/support/e2e/menu.h"
#include "tests/support/e2e/screenshot.h"
#include "tests/support/e2e/system_state.h"

namespace qvx::e2e {

std::string QuorvixPath() {
  std::string path = QVX_PROGRAM_PATH;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

UINT TrayCallbackMessage() { return RegisterWindowMessageA("ZEM_QVX_Tray"); }

Quorvix Quorvix::Launch(const std::string& args, const std::string& working_dir) {
  return LaunchProgram(QuorvixPath(), args, working_dir);
}

Quorvix Quorvix::LaunchProgram(const std::string& program_path, const std::string& args,
                               const std::string& working_dir) {
  Quorvix q;
  std::string line = QuoteArgument(program_path);
  if (!args.empty()) line += " " + args;
  q.process_ = Process::Start(line, working_dir);
  return q;
}

HWND Quorvix::WaitMainWindow(DWORD timeout_ms) {
  WindowMatch match;
  match.pid = pid();
  match.class_name = kWindowClass;
  match.visible_only = false;
  main_ = WaitForTopLevel(match, timeout_ms);
  if (main_ == nullptr) {
    std::fprintf(stderr, "Quorvix showed no main window: %s\n", process_.Describe().c_str());
  }
  return main_;
}

HWND OpenTrayMenuOf(HWND main) {
  // Like a click on the icon: the menu opens at the cursor, which sits on the
  // notification area at the right end of the taskbar.
  if (HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr)) {
    RECT r{};
    GetWindowRect(taskbar, &r);
    SetCursorPos(r.right - 9, (r.top + r.bottom) / 2);
  }
  // A menu of an earlier step may still be on its way out. While it tracks,
  // the program cannot open another one (the callback would reach it inside
  // the old menu's loop): let it go first. Only a menu window that was not
  // there before is the new one.
  const DWORD pid = ProcessOf(main);
  WaitUntil([pid] { return PopupMenuWindows(pid).empty(); }, 5000);
  const std::vector<HWND> before = PopupMenuWindows(pid);
  PostMessageA(main, TrayCallbackMessage(), 0, WM_RBUTTONDOWN);
  return WaitForNewPopupMenu(pid, before);
}

bool TrayIconExists(HWND owner) {
  // Changing nothing of an icon succeeds only when the icon exists.
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = owner;
  data.uID = 0;
  return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

HWND Quorvix::OpenTrayMenu(const std::string& what) {
  HWND menu = OpenTrayMenuOf(main_);
  if (menu != nullptr) SaveScreenshot(nullptr, what);
  return menu;
}

void Quorvix::DoubleClickTray() { PostMessageA(main_, TrayCallbackMessage(), 0, WM_LBUTTONDBLCLK); }

bool Quorvix::TrayIconPresent() const { return TrayIconExists(main_); }

bool Quorvix::TaskbarShowsIcon(int icon_id) const {
  HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
  if (taskbar == nullptr) return false;
  HMODULE program = LoadLibraryExA(QuorvixPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (program == nullptr) return false;
  const int size = GetSystemMetrics(SM_CXSMICON);
  HICON icon =
      static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(icon_id), IMAGE_ICON, size, size, 0));
  bool shown = false;
  if (icon != nullptr) {
    RECT r{};
    GetWindowRect(taskbar, &r);
    const ScreenImage bar = CaptureScreen(r);
    // The taskbar's own colour is the one most of its pixels have.
    std::map<std::uint32_t, int> counts;
    for (auto p : bar.pixels) ++counts[p];
    const auto background =
        std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
          return a.second < b.second;
        })->first;
    shown = ContainsPicture(bar, RenderIcon(icon, size, background));
    DestroyIcon(icon);
  }
  FreeLibrary(program);
  return shown;
}

DialogDriver Quorvix::WaitForDialog(const std::string& title, const std::string& what,
                                    int with_control, DWORD timeout_ms) {
  WindowMatch match;
  match.pid = pid();
  match.class_name = "#32770";
  match.title = title;
  match.with_control = with_control;
  HWND dialog = WaitForTopLevel(match, timeout_ms);
  if (dialog != nullptr) SaveScreenshot(dialog, what);
  return DialogDriver(dialog);
}

bool Quorvix::Settle(DWORD timeout_ms) const {
  DWORD_PTR ignored = 0;
  return main_ != nullptr &&
         SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, timeout_ms, &ignored) != 0;
}

std::optional<DWORD> Quorvix::Exit() {
  if (main_ != nullptr) PostMessageA(main_, WM_CLOSE, 0, 0);
  return process_.WaitExit();
}

void ResetQuorvixState() {
  WindowMatch match;
  match.class_name = Quorvix::kWindowClass;
  match.visible_only = false;
  for (HWND w : TopLevelWindows(match)) {
    DWORD pid = ProcessOf(w);
    PostMessageA(w, WM_CLOSE, 0, 0);
    if (HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid)) {
      if (WaitForSingleObject(p, 5000) != WAIT_OBJECT_0) TerminateProcess(p, 99);
      CloseHandle(p);
    }
  }
  settings::Reset();
  ReleaseStuckModifiers();
  ParkMouse();
  // Each test starts with an empty clipboard, owned by nobody that has ended.
  clipboard::Clear();
  // A Quorvix that ended holds its hot keys until the system has cleaned up
  // after it; the next test's program must not start before they are free.
  WaitUntil(
      [] {
        for (UINT key : {'A', 'S', 'D', 'F', 'Z', 'Q', 'W', 'E', 'R'}) {
          if (HotKeyTaken(MOD_ALT | MOD_SHIFT, key)) return false;
        }
        return true;
      },
      5000);
}

}  // namespace qvx::e2e

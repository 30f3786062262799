// Quorvix.exe under test: starting it, its hidden main window, its tray icon
// (the callback message the notification area would send, the icon the
// taskbar shows), its dialogs, and a clean slate between tests.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "tests/support/e2e/process.h"
#include "tests/support/e2e/window_query.h"

namespace qvx::e2e {

// Windows path of the Quorvix.exe being tested.
std::string QuorvixPath();
// The tray icon's callback message ("ZEM_QVX_Tray").
UINT TrayCallbackMessage();
// Whether the notification area holds the icon (id 0) of that window.
bool TrayIconExists(HWND owner);
// Opens the tray menu of the program owning that main window as the
// notification area does on a right click (the cursor on the icon, then the
// callback message); returns the menu window, nullptr if none showed.
HWND OpenTrayMenuOf(HWND main);

class Quorvix {
 public:
  static constexpr const char* kWindowClass = "QVX_Class";

  // Starts Quorvix.exe with a command line after the program name; does not
  // wait for anything.
  static Quorvix Launch(const std::string& args = {}, const std::string& working_dir = {});
  // The same with another copy of the program (another program folder, so
  // other key and storage files beside it).
  static Quorvix LaunchProgram(const std::string& program_path, const std::string& args = {},
                               const std::string& working_dir = {});

  Process& process() { return process_; }
  DWORD pid() const { return process_.pid(); }

  // Waits for the main window of this process; nullptr if it did not appear.
  HWND WaitMainWindow(DWORD timeout_ms = kTimeoutMs);
  HWND main() const { return main_; }

  // The notification area's right click and double click on the icon.
  // OpenTrayMenu waits for the menu window and saves a screenshot of it.
  HWND OpenTrayMenu(const std::string& what = "tray-menu");
  void DoubleClickTray();

  // Whether the notification area holds an icon of the main window (id 0).
  bool TrayIconPresent() const;
  // Whether the taskbar shows the program's icon resource with that id.
  bool TaskbarShowsIcon(int icon_id) const;

  // Waits for a top-level dialog of this process by title (and a control id it
  // must contain, or -1), and saves a screenshot named "what".
  DialogDriver WaitForDialog(const std::string& title, const std::string& what, int with_control = -1,
                             DWORD timeout_ms = kTimeoutMs);

  // Waits until the program's main thread is back at its messages, so that
  // what it does for a command in one go (saving settings, then registering
  // its hot keys, after Options or a mode switch) is over. HotKeyTaken holds a
  // combination for a moment: probed while the program registers its keys,
  // it could take one from under it.
  bool Settle(DWORD timeout_ms = kTimeoutMs) const;

  // Sends WM_CLOSE to the main window and returns the exit code.
  std::optional<DWORD> Exit();

 private:
  Process process_;
  HWND main_ = nullptr;
};

// Closes every Quorvix main window left by an earlier test, ends the
// processes and deletes the settings key.
void ResetQuorvixState();

}  // namespace qvx::e2e

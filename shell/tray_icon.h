// The program's one icon in the notification area (id 0), owned by the main
// window. Removed when the object goes away.
#pragma once

#include <windows.h>

#include <string>

namespace qvx::shell {

class TrayIcon {
 public:
  // callback_message: sent to owner with wParam = 0 and lParam = the mouse message.
  TrayIcon(HWND owner, UINT callback_message, std::string tip);
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;
  ~TrayIcon() { Remove(); }

  // Adds the icon (again, after Explorer restarted). False when the
  // notification area refused it.
  bool Add(HICON icon);
  // Changes the image of the added icon.
  bool SetIcon(HICON icon);
  void Remove();
  bool added() const { return added_; }

 private:
  HWND owner_;
  UINT callback_message_;
  std::string tip_;
  HICON icon_ = nullptr;
  bool added_ = false;
};

}  // namespace qvx::shell

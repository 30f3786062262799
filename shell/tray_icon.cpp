// The notification-area icon through Shell_NotifyIconA, in its first
// structure layout (the tip limited to 64 bytes).
#include "shell/tray_icon.h"

#include <shellapi.h>

#include <cstring>

namespace qvx::shell {

namespace {

NOTIFYICONDATAA IconData(HWND owner) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = owner;
  data.uID = 0;
  return data;
}

}  // namespace

TrayIcon::TrayIcon(HWND owner, UINT callback_message, std::string tip)
    : owner_(owner), callback_message_(callback_message), tip_(std::move(tip)) {}

bool TrayIcon::Add(HICON icon) {
  icon_ = icon;
  NOTIFYICONDATAA data = IconData(owner_);
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = callback_message_;
  data.hIcon = icon;
  std::strncpy(data.szTip, tip_.c_str(), sizeof data.szTip - 1);
  added_ = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
  return added_;
}

bool TrayIcon::SetIcon(HICON icon) {
  icon_ = icon;
  if (!added_) return Add(icon);
  NOTIFYICONDATAA data = IconData(owner_);
  data.uFlags = NIF_ICON;
  data.hIcon = icon;
  return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

void TrayIcon::Remove() {
  if (!added_) return;
  NOTIFYICONDATAA data = IconData(owner_);
  Shell_NotifyIconA(NIM_DELETE, &data);
  added_ = false;
}

}  // namespace qvx::shell

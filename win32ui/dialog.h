// Base of the tray program's modal dialogs: runs a dialog resource with no
// owner window, keeps the object in the dialog's user data (DWLP_USER), gives
// it the program icon and the foreground, and routes messages to virtuals. No
// exception leaves the dialog procedure.
#pragma once

#include <windows.h>

namespace qvx::win32ui {

class ModalDialog {
 public:
  ModalDialog() = default;
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;
  virtual ~ModalDialog() = default;

  // Runs the dialog until End(); returns End's value (-1 when the dialog could
  // not be created). An owner window (a dialog this one is opened from) is
  // disabled while this one runs; by default there is none.
  INT_PTR Run(HINSTANCE instance, int resource_id, HWND owner = nullptr);

  // The dialog window while it runs, otherwise none.
  HWND window() const { return window_; }

 protected:
  // WM_INITDIALOG; return false after giving the focus to a control yourself,
  // true to let the system focus the first control.
  virtual bool OnInit() { return true; }
  // A WM_COMMAND from a control or menu; the default ends on OK and Cancel.
  virtual void OnCommand(int id, int code);
  // WM_CLOSE (the close box, Alt+F4); the default ends with IDCANCEL.
  virtual void OnClose() { End(IDCANCEL); }
  // Other messages; return true when handled.
  virtual bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

  void End(INT_PTR result);
  HWND Item(int id) const { return GetDlgItem(window_, id); }
  bool IsChecked(int id) const { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }
  void SetChecked(int id, bool on) { CheckDlgButton(window_, id, on ? BST_CHECKED : BST_UNCHECKED); }
  HINSTANCE instance() const { return instance_; }

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam);

  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
};

}  // namespace qvx::win32ui

// Modal dialog base.
#include "win32ui/dialog.h"

#include "resources/shell_ids.h"
#include "win32ui/win32_util.h"

namespace qvx::win32ui {

INT_PTR ModalDialog::Run(HINSTANCE instance, int resource_id, HWND owner) {
  instance_ = instance;
  const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(resource_id), owner,
                                         &ModalDialog::Procedure, reinterpret_cast<LPARAM>(this));
  window_ = nullptr;
  return result;
}

void ModalDialog::OnCommand(int id, int) {
  if (id == IDOK || id == IDCANCEL) End(id);
}

void ModalDialog::End(INT_PTR result) { EndDialog(window_, result); }

INT_PTR CALLBACK ModalDialog::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<ModalDialog*>(lparam);
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  return NoThrow<INT_PTR>(FALSE, [&] { return self->Handle(message, wparam, lparam); });
}

INT_PTR ModalDialog::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SendMessageA(window_, WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(LoadSmallIcon(instance_, IDI_APP)));
      SendMessageA(window_, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(LoadLargeIcon(instance_, IDI_APP)));
      {
        const bool default_focus = OnInit();
        SetForegroundWindow(window_);
        return default_focus ? TRUE : FALSE;
      }
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    default: {
      INT_PTR result = FALSE;
      if (OnMessage(message, wparam, lparam, result)) {
        SetWindowLongPtrA(window_, DWLP_MSGRESULT, result);
        return TRUE;
      }
      return FALSE;
    }
  }
}

}  // namespace qvx::win32ui

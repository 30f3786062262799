// Edit control texts of the storage dialogs.
#include "win32ui/edit_text.h"

namespace qvx::win32ui {

void SetText(HWND edit, std::string_view text) { SetWindowTextA(edit, std::string(text).c_str()); }

void ShowSecretText(HWND edit, bool in_clear) {
  SendMessageA(edit, EM_SETPASSWORDCHAR, in_clear ? 0 : '*', 0);
  InvalidateRect(edit, nullptr, TRUE);
}

void LimitText(HWND edit, std::size_t chars) {
  SendMessageA(edit, EM_LIMITTEXT, static_cast<WPARAM>(chars), 0);
}

}  // namespace qvx::win32ui

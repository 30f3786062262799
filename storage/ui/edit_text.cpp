// Edit control texts of the storage dialogs.
#include "storage/ui/edit_text.h"

namespace qvx::storage::ui {

SecureString ReadSecretText(HWND edit) {
  const int n = GetWindowTextLengthA(edit);
  if (n <= 0) return {};
  SecureString text;
  text.resize(static_cast<std::size_t>(n) + 1);
  const int got = GetWindowTextA(edit, text.data(), n + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

std::string ReadText(HWND edit) {
  const int n = GetWindowTextLengthA(edit);
  if (n <= 0) return {};
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  const int got = GetWindowTextA(edit, text.data(), n + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

void SetText(HWND edit, std::string_view text) { SetWindowTextA(edit, std::string(text).c_str()); }

void ClearSecretEdit(HWND edit) {
  if (edit == nullptr) return;
  const int n = GetWindowTextLengthA(edit);
  if (n > 0) SetWindowTextA(edit, std::string(static_cast<std::size_t>(n), ' ').c_str());
  SetWindowTextA(edit, "");
}

void ShowSecretText(HWND edit, bool inClear) {
  SendMessageA(edit, EM_SETPASSWORDCHAR, inClear ? 0 : '*', 0);
  InvalidateRect(edit, nullptr, TRUE);
}

void LimitText(HWND edit, std::size_t chars) {
  SendMessageA(edit, EM_LIMITTEXT, static_cast<WPARAM>(chars), 0);
}

}  // namespace qvx::storage::ui

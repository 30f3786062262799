// The Options dialog.
#include "shell/options_dialog.h"

#include <string>

#include "resources/shell_ids.h"
#include "win32ui/message_box.h"
#include "win32ui/win32_util.h"

namespace qvx::shell {

namespace {

// The modifier check boxes, in the order they are shown.
constexpr struct {
  int control;
  std::uint32_t bit;
} kModifierBoxes[] = {
    {IDC_OPT_CTRL, kModControl},
    {IDC_OPT_ALT, kModAlt},
    {IDC_OPT_SHIFT, kModShift},
    {IDC_OPT_WIN, kModWin},
};

}  // namespace

std::optional<Settings> OptionsDialog::Ask(HINSTANCE instance) {
  accepted_ = false;
  Run(instance, IDD_OPTIONS);
  if (!accepted_) return std::nullopt;
  return editor_.edited();
}

void OptionsDialog::SelectRow(std::size_t row) {
  if (window() == nullptr) return;
  editor_.Select(row);
  SendMessageA(Item(IDC_OPT_ACTION), CB_SETCURSEL, editor_.selected_row(), 0);
  ShowSelectedRow();
}

bool OptionsDialog::OnInit() {
  SendMessageA(Item(IDC_OPT_KEY), EM_LIMITTEXT, 1, 0);
  const Settings& s = editor_.edited();
  SetChecked(IDC_OPT_SHOW_TEXT, s.show_text);
  SetChecked(IDC_OPT_AUTORUN, s.autorun);
  SetChecked(IDC_OPT_LOGIN, s.login_at_startup);
  SetChecked(IDC_OPT_KEEP_CLIPBOARD, s.safety.keep_clipboard);
  SetChecked(IDC_OPT_HIDE_CAPTURE, s.safety.hide_from_capture);
  SetChecked(IDC_OPT_DIRECT_ACCESS, s.safety.direct_access);
  SetChecked(IDC_OPT_FORMAT_COMPATIBLE, s.crypto_format == CryptoFormat::Compatible);
  SetChecked(IDC_OPT_FORMAT_HARDENED, s.crypto_format == CryptoFormat::Hardened);
  SendMessageA(Item(IDC_OPT_CLEAR_SECONDS), EM_LIMITTEXT, 4, 0);
  SendMessageA(Item(IDC_OPT_EXTRA_DELAY), EM_LIMITTEXT, 4, 0);
  SetWindowTextA(Item(IDC_OPT_CLEAR_SECONDS), std::to_string(s.safety.clear_clipboard_seconds).c_str());
  SetWindowTextA(Item(IDC_OPT_EXTRA_DELAY), std::to_string(s.safety.extra_key_delay_ms).c_str());
  // Every row in both modes: the RSA-only keys can be prepared in Password mode.
  for (const auto& action : HotKeyActions()) {
    const std::string label = win32ui::LoadResourceString(instance(), static_cast<UINT>(action.label));
    SendMessageA(Item(IDC_OPT_ACTION), CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(label.empty() ? MessageText(action.label) : label.c_str()));
  }
  SendMessageA(Item(IDC_OPT_ACTION), CB_SETCURSEL, editor_.selected_row(), 0);
  ShowSelectedRow();
  // The dialog is mostly opened for one row's key: typing a letter replaces it.
  SetFocus(Item(IDC_OPT_KEY));
  SendMessageA(Item(IDC_OPT_KEY), EM_SETSEL, 0, -1);
  return false;
}

void OptionsDialog::ShowSelectedRow() {
  updating_ = true;
  const HotKey& key = editor_.selected();
  for (const auto& box : kModifierBoxes) SetChecked(box.control, (key.modifiers & box.bit) != 0);
  SetWindowTextA(Item(IDC_OPT_KEY), editor_.KeyText().c_str());
  updating_ = false;
}

void OptionsDialog::KeyEditChanged() {
  if (updating_) return;
  if (editor_.TypeKey(win32ui::WindowText(Item(IDC_OPT_KEY)))) return;
  // Only letters and digits name a key; anything else is refused.
  MessageBeep(MB_OK);
  updating_ = true;
  SetWindowTextA(Item(IDC_OPT_KEY), editor_.KeyText().c_str());
  SendMessageA(Item(IDC_OPT_KEY), EM_SETSEL, 0, -1);
  updating_ = false;
}

void OptionsDialog::OnCommand(int id, int code) {
  switch (id) {
    case IDC_OPT_ACTION:
      if (code == CBN_SELCHANGE) {
        const LRESULT row = SendMessageA(Item(IDC_OPT_ACTION), CB_GETCURSEL, 0, 0);
        if (row >= 0) editor_.Select(static_cast<std::size_t>(row));
        ShowSelectedRow();
      }
      return;
    case IDC_OPT_KEY:
      if (code == EN_CHANGE) KeyEditChanged();
      // A click into the one-letter edit selects it, so that typing replaces it.
      if (code == EN_SETFOCUS) PostMessageA(Item(IDC_OPT_KEY), EM_SETSEL, 0, -1);
      return;
    case IDOK:
      if (!TakeNumber(IDC_OPT_CLEAR_SECONDS, &OptionsEditor::SetClearClipboardSeconds,
                      Msg::ClearClipboardInvalid) ||
          !TakeNumber(IDC_OPT_EXTRA_DELAY, &OptionsEditor::SetExtraKeyDelay,
                      Msg::ExtraKeyDelayInvalid)) {
        return;
      }
      editor_.SetKeepClipboard(IsChecked(IDC_OPT_KEEP_CLIPBOARD));
      editor_.SetHideFromCapture(IsChecked(IDC_OPT_HIDE_CAPTURE));
      editor_.SetDirectAccess(IsChecked(IDC_OPT_DIRECT_ACCESS));
      editor_.SetCryptoFormat(IsChecked(IDC_OPT_FORMAT_HARDENED) ? CryptoFormat::Hardened : CryptoFormat::Compatible);
      editor_.SetShowText(IsChecked(IDC_OPT_SHOW_TEXT));
      editor_.SetAutorun(IsChecked(IDC_OPT_AUTORUN));
      editor_.SetLoginAtStartup(IsChecked(IDC_OPT_LOGIN));
      accepted_ = true;
      End(IDOK);
      return;
    case IDCANCEL:
      OnClose();
      return;
    default:
      break;
  }
  for (const auto& box : kModifierBoxes) {
    if (id == box.control && code == BN_CLICKED && !updating_) {
      editor_.SetModifier(box.bit, IsChecked(box.control));
    }
  }
}

bool OptionsDialog::TakeNumber(int control, bool (OptionsEditor::*set)(std::string_view),
                               Msg invalid) {
  if ((editor_.*set)(win32ui::WindowText(Item(control)))) return true;
  // The dialog stays open with the field selected for correction.
  win32ui::MessageBoxes(instance()).Show(invalid, BoxKind::Warning);
  SetFocus(Item(control));
  SendMessageA(Item(control), EM_SETSEL, 0, -1);
  return false;
}

void OptionsDialog::OnClose() {
  editor_.Revert();
  End(IDCANCEL);
}

}  // namespace qvx::shell

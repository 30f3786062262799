// About box and mode-switch notice.
#include "shell/small_dialogs.h"

#include "resources/shell_ids.h"
#include "shell/model/settings_model.h"

namespace qvx::shell {

AboutDialog::~AboutDialog() {
  if (name_font_ != nullptr) DeleteObject(name_font_);
}

void AboutDialog::Show(HINSTANCE instance) { Run(instance, IDD_ABOUT); }

bool AboutDialog::OnInit() {
  LOGFONTA font{};
  auto dialog_font = reinterpret_cast<HFONT>(SendMessageA(window(), WM_GETFONT, 0, 0));
  if (dialog_font != nullptr && GetObjectA(dialog_font, sizeof font, &font) != 0) {
    font.lfWeight = FW_BOLD;
    font.lfHeight = font.lfHeight * 3 / 2;
    name_font_ = CreateFontIndirectA(&font);
    if (name_font_ != nullptr) {
      SendMessageA(Item(IDC_ABOUT_NAME), WM_SETFONT, reinterpret_cast<WPARAM>(name_font_), TRUE);
    }
  }
  return true;
}

bool ModeNoticeDialog::OnInit() {
  // OK has the focus, so that Enter or Space never ticks "Never show" by chance.
  SetFocus(Item(IDOK));
  return false;
}

void ModeNoticeDialog::Show(HINSTANCE instance) {
  Run(instance, target_ == CryptoMode::Password ? IDD_NOTICE_PASSWORD : IDD_NOTICE_RSA);
}

void ModeNoticeDialog::OnCommand(int id, int) {
  // OK looks at "Never show"; closing the box with its close button does not.
  if (id == IDOK) {
    if (IsChecked(IDC_NOTICE_NEVER)) SuppressSwitchNotice(store_);
    End(IDOK);
  } else if (id == IDCANCEL) {
    End(IDCANCEL);
  }
}

}  // namespace qvx::shell

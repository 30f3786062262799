// The password storage login dialog.
#include "storage/ui/login_dialog.h"

#include "resources/storage_ids.h"
#include "win32ui/screen_privacy.h"
#include "win32ui/win32_util.h"
#include "win32ui/edit_text.h"

namespace qvx::storage::ui {

std::optional<StorageSession> LoginDialog::RunLoginDialog() {
  session_.reset();
  Run(context_.instance, IDD_STORAGE_LOGIN, context_.owner);
  return std::move(session_);
}

bool LoginDialog::OnInit() {
  if (context_.on_window) context_.on_window(window());
  win32ui::ProtectFromCapture(window(), *context_.privacy);
  win32ui::LimitText(Item(IDC_LOGIN_NAME), kMaxAccountNameLength);
  win32ui::LimitText(Item(IDC_LOGIN_PASSWORD), kMaxAccountPasswordLength);
  if (context_.skip) {
    SetWindowTextA(
        Item(IDCANCEL),
        win32ui::LoadResourceString(context_.instance, static_cast<UINT>(Msg::Skip)).c_str());
  }
  const std::string name = SuggestedLoginName(context_.settings);
  win32ui::SetText(Item(IDC_LOGIN_NAME), name);
  if (name.empty()) return true;
  // The name is known: the password is what is left to type.
  SetFocus(Item(IDC_LOGIN_PASSWORD));
  return false;
}

void LoginDialog::OnCommand(int id, int) {
  if (id == IDOK) Submit();
  if (id == IDCANCEL) Finish(IDCANCEL);
}

void LoginDialog::OnClose() { Finish(IDCANCEL); }

void LoginDialog::Submit() {
  const std::string name = win32ui::WindowText(Item(IDC_LOGIN_NAME));
  const SecureString password = win32ui::SecretWindowText(Item(IDC_LOGIN_PASSWORD));
  auto session = SubmitLogin(*context_.folder, name, password, *context_.messages,
                             *context_.confirmer, context_.settings);
  if (!session) {
    // The reason is shown; the dialog stays for another try.
    ShowFailure(*context_.messages, session.error());
    SetFocus(Item(session.code() == Errc::InvalidArgument && !password.empty()
                      ? IDC_LOGIN_NAME
                      : IDC_LOGIN_PASSWORD));
    return;
  }
  session_ = std::move(session).value();
  Finish(IDOK);
}

void LoginDialog::Finish(INT_PTR result) {
  win32ui::WipeSecretEdit(Item(IDC_LOGIN_PASSWORD));
  if (context_.on_window) context_.on_window(nullptr);
  End(result);
}

}  // namespace qvx::storage::ui

// The password storage login (resource 136): an account name and its
// password; a name without an account file offers to create the account. Each
// press of OK is one SubmitLogin of the core; the dialog closes on the first
// login that succeeds.
#pragma once

#include <functional>
#include <optional>

#include "platform/settings.h"
#include "platform/ui.h"
#include "win32ui/dialog.h"
#include "win32ui/screen_privacy.h"
#include "storage/account.h"
#include "storage/login.h"

namespace qvx::storage::ui {

class LoginDialog final : public win32ui::ModalDialog, public LoginDialogRunner {
 public:
  struct Context {
    HINSTANCE instance = nullptr;
    const AccountFolder* folder = nullptr;
    SettingsStore* settings = nullptr;
    MessageUi* messages = nullptr;
    PasswordConfirmer* confirmer = nullptr;
    const win32ui::CapturePolicy* privacy = nullptr;
    // The Cancel button reads "&Skip" (during installation).
    bool skip = false;
    // The window the login is opened over (disabled while it runs), or none.
    HWND owner = nullptr;
    // Called with the dialog window when it opens, and with nullptr when it ends.
    std::function<void(HWND)> on_window;
  };

  explicit LoginDialog(Context context) : context_(std::move(context)) {}

  // Runs the dialog; the new session after a login, nullopt after Cancel.
  std::optional<StorageSession> RunLoginDialog() override;

 protected:
  bool OnInit() override;
  void OnCommand(int id, int code) override;
  void OnClose() override;

 private:
  void Submit();
  void Finish(INT_PTR result);

  Context context_;
  std::optional<StorageSession> session_;
};

}  // namespace qvx::storage::ui

// The password prompts and the confirmation box.
#include "win32ui/password_prompts.h"

#include <string>

#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "resources/capture_ids.h"
#include "win32ui/dialog.h"
#include "win32ui/message_box.h"
#include "win32ui/screen_privacy.h"
#include "win32ui/tooltips.h"
#include "win32ui/win32_util.h"

namespace qvx::win32ui {

namespace {

HINSTANCE ProgramInstance() { return GetModuleHandleA(nullptr); }

class ConfirmPasswordDialog final : public ModalDialog {
 public:
  ConfirmPasswordDialog(const SecureString& first, const CapturePolicy& privacy)
      : first_(first), privacy_(privacy) {}
  bool Ask() {
    Run(ProgramInstance(), IDD_CONFIRM_PASSWORD);
    return same_;
  }

 protected:
  bool OnInit() override {
    ProtectFromCapture(window(), privacy_);
    SetFocus(Item(IDC_PASSWORD_EDIT));
    return false;
  }
  void OnCommand(int id, int) override {
    if (id == IDOK) {
      const SecureString again = SecretWindowText(Item(IDC_PASSWORD_EDIT));
      same_ = again == first_;
    }
    if (id == IDOK || id == IDCANCEL) {
      WipeSecretEdit(Item(IDC_PASSWORD_EDIT));
      End(id);
    }
  }
  void OnClose() override { OnCommand(IDCANCEL, 0); }

 private:
  const SecureString& first_;
  const CapturePolicy& privacy_;
  bool same_ = false;
};

// Resources 104 and 103 (the latter also in its private-key variant).
class PasswordDialog final : public ModalDialog {
 public:
  enum class Kind { Encryption, Decryption, PrivateKey };
  using SaveHook = std::function<void(const SecureString&, const Key256&)>;

  PasswordDialog(Kind kind, bool checked, PromptServices services, SaveHook save = {})
      : kind_(kind), checked_(checked), services_(services), save_(std::move(save)) {}

  std::optional<Key256> Ask() {
    Run(ProgramInstance(), kind_ == Kind::Encryption ? IDD_ENCRYPT_PASSWORD : IDD_DECRYPT_PASSWORD);
    return key_;
  }
  bool checked() const { return checked_; }

 protected:
  bool OnInit() override {
    ProtectFromCapture(window(), services_.privacy);
    if (kind_ == Kind::PrivateKey) {
      SetWindowTextA(window(), Text(Msg::PrivateKeyPasswordTitle).c_str());
      SetWindowTextA(Item(IDC_COMMON_PASSWORD), Text(Msg::SaveAndAssociate).c_str());
    }
    SetChecked(IDC_COMMON_PASSWORD, checked_);
    AttachTooltips(window(), {{IDC_FROM_STORAGE, Msg::TipFromStorage}});
    SetFocus(Item(IDC_PASSWORD_EDIT));
    return false;
  }

  void OnCommand(int id, int) override {
    switch (id) {
      case IDOK:
        Accept();
        break;
      case IDCANCEL:
        Finish(IDCANCEL);
        break;
      case IDC_FROM_STORAGE:
        TakeFromStorage();
        break;
      default:
        break;
    }
  }
  void OnClose() override { Finish(IDCANCEL); }

 private:
  std::string Text(Msg id) const {
    std::string text = LoadResourceString(instance(), static_cast<UINT>(id));
    return text.empty() ? MessageText(id) : text;
  }

  void Accept() {
    MessageBoxes messages(instance());
    HWND edit = Item(IDC_PASSWORD_EDIT);
    if (GetWindowTextLengthA(edit) == 0) {
      messages.Show(Msg::EnterPassword, BoxKind::Error);
      SetFocus(edit);
      return;
    }
    const SecureString password = SecretWindowText(edit);
    if (kind_ == Kind::Encryption && !ConfirmPassword(window(), password, services_.privacy)) {
      messages.Show(Msg::WrongConfirmation, BoxKind::Error);
      SetFocus(edit);
      return;
    }
    if (kind_ != Kind::Encryption) checked_ = IsChecked(IDC_COMMON_PASSWORD);
    key_ = PasswordToKey(password.view());
    if (kind_ == Kind::PrivateKey && checked_ && save_) save_(password, *key_);
    Finish(IDOK);
  }

  void TakeFromStorage() {
    if (auto key = services_.from_storage.ChoosePasswordKey(window())) {
      key_ = std::move(key);
      Finish(IDOK);
    }
  }

  void Finish(int result) {
    WipeSecretEdit(Item(IDC_PASSWORD_EDIT));
    End(result);
  }

  Kind kind_;
  bool checked_;
  PromptServices services_;
  SaveHook save_;
  std::optional<Key256> key_;
};

Result<Key256> KeyOrCancelled(std::optional<Key256> key) {
  if (!key) return MakeError(Errc::Cancelled, "the password prompt was cancelled");
  return std::move(*key);
}

}  // namespace

bool ConfirmPassword(HWND, const SecureString& first, const CapturePolicy& privacy) {
  // Like every prompt, the box has no owner window: it comes to the front by
  // itself, and the caller's dialog waits for it.
  ConfirmPasswordDialog dialog(first, privacy);
  return dialog.Ask();
}

Result<Key256> DialogPasswordPrompt::AskEncryptionKey() {
  PasswordDialog dialog(PasswordDialog::Kind::Encryption, false, services_);
  return KeyOrCancelled(dialog.Ask());
}

Result<Key256> DialogPasswordPrompt::AskDecryptionKey(DecryptionPasswordRequest& request) {
  PasswordDialog dialog(PasswordDialog::Kind::Decryption, request.use_common_password, services_);
  auto key = dialog.Ask();
  if (key) request.use_common_password = dialog.checked();
  return KeyOrCancelled(std::move(key));
}

std::optional<Key256> AskPrivateKeyPassword(PromptServices services,
                                            PrivateKeyPasswordRequest& request) {
  PasswordDialog dialog(PasswordDialog::Kind::PrivateKey, request.save, services,
                        request.on_save);
  auto key = dialog.Ask();
  if (key) request.save = dialog.checked();
  return key;
}

}  // namespace qvx::win32ui

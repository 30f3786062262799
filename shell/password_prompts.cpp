// The password prompts and the confirmation box.
#include "shell/password_prompts.h"

#include <string>

#include "engine/rijndael.h"
#include "resources/capture_ids.h"
#include "shell/dialog.h"
#include "shell/message_box.h"
#include "shell/screen_privacy.h"
#include "shell/tooltips.h"
#include "shell/win32_util.h"

namespace qvx::shell {

namespace {

HINSTANCE ProgramInstance() { return GetModuleHandleA(nullptr); }

class ConfirmPasswordDialog final : public ModalDialog {
 public:
  explicit ConfirmPasswordDialog(const SecureString& first) : first_(first) {}
  bool Ask() {
    Run(ProgramInstance(), IDD_CONFIRM_PASSWORD);
    return same_;
  }

 protected:
  bool OnInit() override {
    ProtectFromCapture(window());
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
  bool same_ = false;
};

// Resources 104 and 103 (the latter also in its private-key variant).
class PasswordDialog final : public ModalDialog {
 public:
  enum class Kind { Encryption, Decryption, PrivateKey };
  using SaveHook = std::function<void(const SecureString&, const Key256&)>;

  PasswordDialog(Kind kind, bool checked, PasswordFromStorage fromStorage, SaveHook save = {})
      : kind_(kind), checked_(checked), fromStorage_(std::move(fromStorage)), save_(std::move(save)) {}

  std::optional<Key256> Ask() {
    Run(ProgramInstance(), kind_ == Kind::Encryption ? IDD_ENCRYPT_PASSWORD : IDD_DECRYPT_PASSWORD);
    return key_;
  }
  bool checked() const { return checked_; }

 protected:
  bool OnInit() override {
    ProtectFromCapture(window());
    if (kind_ == Kind::PrivateKey) {
      SetWindowTextA(window(), Text(Msg::PrivateKeyPasswordTitle).c_str());
      SetWindowTextA(Item(IDC_COMMON_PASSWORD), Text(Msg::SaveAndAssociate).c_str());
    }
    SetChecked(IDC_COMMON_PASSWORD, checked_);
    // Until the password storage is part of the program, its button is off.
    EnableWindow(Item(IDC_FROM_STORAGE), fromStorage_ ? TRUE : FALSE);
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
    if (kind_ == Kind::Encryption && !ConfirmPassword(window(), password)) {
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
    if (!fromStorage_) return;
    if (auto key = fromStorage_(window())) {
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
  PasswordFromStorage fromStorage_;
  SaveHook save_;
  std::optional<Key256> key_;
};

Result<Key256> KeyOrCancelled(std::optional<Key256> key) {
  if (!key) return MakeError(Errc::Cancelled, "the password prompt was cancelled");
  return std::move(*key);
}

}  // namespace

bool ConfirmPassword(HWND, const SecureString& first) {
  // Like every prompt, the box has no owner window: it comes to the front by
  // itself, and the caller's dialog waits for it.
  ConfirmPasswordDialog dialog(first);
  return dialog.Ask();
}

Result<Key256> DialogPasswordPrompt::AskEncryptionKey() {
  PasswordDialog dialog(PasswordDialog::Kind::Encryption, false, fromStorage_);
  return KeyOrCancelled(dialog.Ask());
}

Result<Key256> DialogPasswordPrompt::AskDecryptionKey(DecryptionPasswordRequest& request) {
  PasswordDialog dialog(PasswordDialog::Kind::Decryption, request.use_common_password, fromStorage_);
  auto key = dialog.Ask();
  if (key) request.use_common_password = dialog.checked();
  return KeyOrCancelled(std::move(key));
}

std::optional<Key256> AskPrivateKeyPassword(PrivateKeyPasswordRequest& request) {
  PasswordDialog dialog(PasswordDialog::Kind::PrivateKey, request.save, request.fromStorage,
                        request.onSave);
  auto key = dialog.Ask();
  if (key) request.save = dialog.checked();
  return key;
}

std::optional<Key256> PromptedProtectionKeys::GetProtectionKey(const KeyFileHeader& header) {
  if (hooks_.associatedKey) {
    if (auto key = hooks_.associatedKey(header)) return key;
  }
  toSave_.reset();
  PrivateKeyPasswordRequest request;
  request.save = static_cast<bool>(hooks_.saveAndAssociate);
  request.fromStorage = hooks_.passwordFromStorage;
  if (hooks_.saveAndAssociate) {
    request.onSave = [this](const SecureString& password, const Key256& key) {
      toSave_ = password;
      toSaveKey_ = key;
    };
  }
  return AskPrivateKeyPassword(request);
}

void PromptedProtectionKeys::Accepted(const KeyFileHeader& header) {
  if (!toSave_) return;
  const SecureString password = std::move(*toSave_);
  toSave_.reset();
  if (hooks_.saveAndAssociate) hooks_.saveAndAssociate(header, password, toSaveKey_);
}

}  // namespace qvx::shell

// Login decisions and the login state.
#include "storage/login.h"

namespace qvx::storage {

std::string SuggestedLoginName(SettingsStore* settings) {
  if (settings == nullptr) return {};
  return settings->ReadString(kUserNameSetting).value_or(std::string());
}

Result<StorageSession> SubmitLogin(const AccountFolder& folder, std::string_view name,
                                   const SecureString& password, MessageSink& messages,
                                   PasswordConfirmer& confirmer, SettingsStore* settings) {
  if (auto problem = AccountNameProblem(name, NameUse::Open)) {
    messages.Show(Msg::AccountNameInvalid, BoxKind::Error);
    return MakeError(Errc::InvalidArgument, *problem);
  }
  const bool creating = !folder.fs().FileExists(folder.FilePath(name));
  if (creating) {
    if (auto problem = AccountNameProblem(name, NameUse::Create)) {
      messages.Show(Msg::AccountNameInvalid, BoxKind::Error);
      return MakeError(Errc::InvalidArgument, *problem);
    }
    if (!messages.Confirm(Msg::CreateAccountQuestion)) {
      return MakeError(Errc::Cancelled, "account creation declined");
    }
  }
  if (password.empty()) {
    messages.Show(Msg::EnterPassword);
    return MakeError(Errc::InvalidArgument, "empty password");
  }

  Result<StorageSession> session = MakeError(Errc::Io);
  if (creating) {
    if (!confirmer.ConfirmPassword(password)) {
      messages.Show(Msg::WrongConfirmation);
      return MakeError(Errc::Cancelled, "the confirmation differs or was cancelled");
    }
    session = CreateAccount(folder, name, password.view());
    if (!session) {
      messages.Show(session.code() == Errc::AlreadyExists ? Msg::AccountExists : Msg::StorageSaveFailed,
                    BoxKind::Error);
      return session;
    }
  } else {
    session = OpenAccount(folder, name, password.view());
    if (!session) {
      switch (session.code()) {
        case Errc::WrongPassword: messages.Show(Msg::LoginFailure); break;
        case Errc::Corrupted: messages.Show(Msg::StorageCorrupted, BoxKind::Error); break;
        default: messages.Show(Msg::StorageReadFailed, BoxKind::Error); break;
      }
      return session;
    }
  }
  if (settings != nullptr) (void)settings->WriteString(kUserNameSetting, name);
  return session;
}

bool RunLogin(StorageLogin& login, LoginDialogRunner& dialog) {
  login.Logout();
  if (auto session = dialog.RunLoginDialog()) login.LogIn(std::move(*session));
  return login.LoggedIn();
}

bool EnsureStorageLogin(StorageLogin& login, std::optional<std::string_view> account,
                        SettingsStore* settings, LoginDialogRunner& dialog) {
  if (account && !(login.LoggedIn() && login.session()->account() == *account)) {
    login.Logout();
    if (settings != nullptr) (void)settings->WriteString(kUserNameSetting, *account);
    return RunLogin(login, dialog);
  }
  if (login.LoggedIn()) return true;
  return RunLogin(login, dialog);
}

bool ReadShowPasswords(SettingsStore* settings, bool current) {
  if (settings == nullptr) return current;
  if (auto value = settings->ReadDword(kShowPasswordsSetting)) return *value != 0;
  return current;
}

void WriteShowPasswords(SettingsStore* settings, bool show) {
  if (settings != nullptr) (void)settings->WriteDword(kShowPasswordsSetting, show ? 1u : 0u);
}

}  // namespace qvx::storage

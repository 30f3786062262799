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
    return MakeError(Errc::InvalidArgument, Msg::AccountNameInvalid, BoxKind::Error, {}, *problem);
  }
  const bool creating = !folder.fs().FileExists(folder.FilePath(name));
  if (creating) {
    if (auto problem = AccountNameProblem(name, NameUse::Create)) {
      return MakeError(Errc::InvalidArgument, Msg::AccountNameInvalid, BoxKind::Error, {}, *problem);
    }
    if (!messages.Confirm(Msg::CreateAccountQuestion)) {
      return MakeError(Errc::Cancelled, "account creation declined");
    }
  }
  if (password.empty()) {
    return MakeError(Errc::InvalidArgument, Msg::EnterPassword, BoxKind::Plain, {}, "empty password");
  }

  Result<StorageSession> session = MakeError(Errc::Io);
  if (creating) {
    if (!confirmer.ConfirmPassword(password)) {
      return MakeError(Errc::Cancelled, Msg::WrongConfirmation, BoxKind::Plain, {},
                       "the confirmation differs or was cancelled");
    }
    session = CreateAccount(folder, name, password.view());
    if (!session) {
      return Error(session.error())
          .Then(session.code() == Errc::AlreadyExists ? Msg::AccountExists : Msg::StorageSaveFailed,
                BoxKind::Error);
    }
  } else {
    session = OpenAccount(folder, name, password.view());
    if (!session) {
      Error error = session.error();
      switch (error.code) {
        case Errc::WrongPassword: error.Then(Msg::LoginFailure); break;
        case Errc::Corrupted: error.Then(Msg::StorageCorrupted, BoxKind::Error); break;
        default: error.Then(Msg::StorageReadFailed, BoxKind::Error); break;
      }
      return error;
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

// The login state of the password storage and the decisions of the login
// dialog, kept out of the dialog so that they can be tested: at most one
// account is logged in at a time, and its key lives only in that session.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "platform/secure.h"
#include "platform/settings.h"
#include "platform/ui.h"
#include "storage/account.h"

namespace qvx::storage {

// Settings: the account name last logged in to, and whether the storage list
// shows passwords in clear.
inline constexpr char kUserNameSetting[] = "user_name";
inline constexpr char kShowPasswordsSetting[] = "show_passwords";

// Asks for the new account's password a second time; true when the user typed
// the same text again (false also when the question was cancelled).
class PasswordConfirmer {
 public:
  virtual ~PasswordConfirmer() = default;
  virtual bool ConfirmPassword(const SecureString& first) = 0;
};

// The name the login dialog shows first: the last account logged in to.
std::string SuggestedLoginName(SettingsStore* settings);

// One press of OK in the login dialog with the typed name and password. On
// success the dialog closes with the returned session and the name has been
// remembered as "user_name". Otherwise the dialog stays open and the failure
// carries the message to show: an unusable name, an empty password, a wrong
// confirmation, "Login failure!", a corrupted or unreadable file; "Do you want
// to create new account?" declined is Cancelled with no message. `messages`
// only asks that question.
Result<StorageSession> SubmitLogin(const AccountFolder& folder, std::string_view name,
                                   const SecureString& password, MessageSink& messages,
                                   PasswordConfirmer& confirmer, SettingsStore* settings);

// Runs the login dialog (a Win32 dialog in the tray program, scripted in
// tests); nullopt when it was closed without a login.
class LoginDialogRunner {
 public:
  virtual ~LoginDialogRunner() = default;
  virtual std::optional<StorageSession> RunLoginDialog() = 0;
};

// The program's login state: no session, or one logged-in account.
class StorageLogin {
 public:
  bool LoggedIn() const { return session_.has_value(); }
  // The logged-in account's session; nullptr when nobody is logged in.
  StorageSession* session() { return session_ ? &*session_ : nullptr; }
  const StorageSession* session() const { return session_ ? &*session_ : nullptr; }
  void LogIn(StorageSession session) { session_ = std::move(session); }
  // Ends the login; the session wipes its key. Files and settings stay.
  void Logout() { session_.reset(); }

 private:
  std::optional<StorageSession> session_;
};

// Logs the current account out and runs the login dialog; true when an
// account is logged in afterwards.
bool RunLogin(StorageLogin& login, LoginDialogRunner& dialog);

// True when an account is logged in on return. With an account name that is
// not the logged-in account, logs out, offers that name in the dialog (by
// writing it as "user_name") and asks; without a name, asks only when nobody
// is logged in.
bool EnsureStorageLogin(StorageLogin& login, std::optional<std::string_view> account,
                        SettingsStore* settings, LoginDialogRunner& dialog);

// "show_passwords" as a flag; the current value when the setting is missing.
bool ReadShowPasswords(SettingsStore* settings, bool current);
void WriteShowPasswords(SettingsStore* settings, bool show);

}  // namespace qvx::storage

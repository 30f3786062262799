// The password storage of the tray program: the one login state of the
// process and every way into it (the start-up login, the tray command, "From
// storage" in the password prompts and the key-pair wizard, saving a key's
// password with an association, and finding a key's password through its
// association). Its dialogs are modal and run on the calling thread; one
// storage dialog is open at a time, and a second request while one is open
// brings that one forward instead of opening another.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "keys/key_file.h"
#include "keys/protection.h"
#include "platform/files.h"
#include "platform/secure.h"
#include "platform/settings.h"
#include "platform/ui.h"
#include "storage/account.h"
#include "storage/login.h"
#include "win32ui/password_prompts.h"
#include "win32ui/screen_privacy.h"

namespace qvx::storage::ui {

// It is also what the rest of the program needs of a password storage: the
// "From storage" choice of the password prompts, and the memory of private
// key passwords (the key-password associations).
class PasswordStorageUi final : public win32ui::StoredPasswordChooser,
                                public ProtectionKeyMemory {
 public:
  // The account files and the associations file live in `folder`. A new
  // password is typed a second time in the confirmation box; every window
  // that shows a password follows `privacy`.
  PasswordStorageUi(HINSTANCE instance, SettingsStore& settings, MessageUi& messages,
                    FileSystem& files, std::string folder, const win32ui::CapturePolicy& privacy);
  PasswordStorageUi(const PasswordStorageUi&) = delete;
  PasswordStorageUi& operator=(const PasswordStorageUi&) = delete;

  // The installation's first login: the login dialog with its Cancel button
  // reading "&Skip", unless an account is logged in already. Returns when the
  // user has logged in, created an account or skipped.
  void LoginForInstallation();

  // The login unless an account is logged in (with an account name: unless
  // that account is logged in). True when an account is logged in on return.
  bool EnsureLogin(HWND owner, std::optional<std::string_view> account = std::nullopt);

  // The storage window for browsing and editing (tray command, hot key).
  void Browse(HWND owner);

  // "From storage": the storage window for choosing a record; the key of the
  // chosen record's password (SHA-256 of it), nullopt when none was chosen.
  std::optional<Key256> Choose(HWND owner);

  // After the user typed a key's protection password and asked to keep it:
  // logs in when nobody is (false, nothing saved, when that is cancelled),
  // stores the password as a record of the key's owner unless the storage has
  // it already, and associates the key with it. Failures have been shown.
  bool SaveAndAssociate(HWND owner, const KeyFileHeader& key, std::string_view password);

  // The protection key of a private key from its association, logging in to
  // the associated account when it is not the logged-in one; nullopt when
  // there is no usable association (the caller then asks for the password).
  std::optional<Key256> LookupProtectionKey(const KeyFileHeader& key);

  const std::string& folder() const { return folder_; }

  // win32ui::StoredPasswordChooser: Choose.
  std::optional<Key256> ChoosePasswordKey(HWND prompt) override { return Choose(prompt); }
  // ProtectionKeyMemory: LookupProtectionKey and SaveAndAssociate.
  std::optional<Key256> RememberedKey(const KeyFileHeader& key) override {
    return LookupProtectionKey(key);
  }
  void Remember(const KeyFileHeader& key, const SecureString& password) override {
    SaveAndAssociate(nullptr, key, password.view());
  }

 private:
  class Use;
  class Confirmer;
  class LoginRunner;

  bool Acquire();
  void Release();
  void BringForward();
  void OnWindow(HWND window) { window_.store(window); }

  HINSTANCE instance_;
  SettingsStore* settings_;  // never null; a pointer because the core takes one
  MessageUi& messages_;
  FileSystem& files_;
  std::string folder_;
  AccountFolder accounts_;
  const win32ui::CapturePolicy& privacy_;
  std::atomic<bool> setup_{false};
  std::atomic<bool> busy_{false};
  std::atomic<HWND> window_{nullptr};
  StorageLogin login_;
};

}  // namespace qvx::storage::ui

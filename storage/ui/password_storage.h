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
#include "platform/files.h"
#include "platform/secure.h"
#include "platform/settings.h"
#include "platform/ui.h"
#include "storage/account.h"
#include "storage/login.h"

namespace qvx::storage::ui {

class PasswordStorageUi {
 public:
  // The account files and the associations file live in `folder`.
  PasswordStorageUi(HINSTANCE instance, SettingsStore* settings, MessageSink& messages,
                    FileSystem& files, std::string folder);
  PasswordStorageUi(const PasswordStorageUi&) = delete;
  PasswordStorageUi& operator=(const PasswordStorageUi&) = delete;

  // Who asks for a new password a second time (creating an account, a new
  // record, a new account password). Must be set before the dialogs run.
  void SetConfirmer(PasswordConfirmer* confirmer) { confirmer_ = confirmer; }

  // While the installer runs, the login's Cancel button reads "&Skip".
  void SetSetupInProgress(bool on) { setup_ = on; }

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

 private:
  class Use;
  class Confirmer;
  class LoginRunner;

  bool Acquire();
  void Release();
  void BringForward();
  void OnWindow(HWND window) { window_.store(window); }

  HINSTANCE instance_;
  SettingsStore* settings_;
  MessageSink& messages_;
  FileSystem& files_;
  std::string folder_;
  AccountFolder accounts_;
  PasswordConfirmer* confirmer_ = nullptr;
  std::atomic<bool> setup_{false};
  std::atomic<bool> busy_{false};
  std::atomic<HWND> window_{nullptr};
  StorageLogin login_;
};

}  // namespace qvx::storage::ui

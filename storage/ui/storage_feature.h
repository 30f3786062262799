// The password storage as a part of the tray program: the "&Password
// storage..." command (40067) and its hot key, and the "LoginAtStartup"
// login. Other parts reach the storage through ProgramPasswordStorage.
#pragma once

#include "storage/ui/password_storage.h"

namespace qvx::shell {
class App;
}

namespace qvx::storage::ui {

// The program's password storage, created when the feature is installed (at
// start-up, before any command runs).
PasswordStorageUi& ProgramPasswordStorage(shell::App& app);

// The installation's first login: the login dialog, its Cancel button reading
// "&Skip", unless an account is logged in already. Returns when the user has
// logged in, created an account or skipped.
void RunInstallationLogin(shell::App& app);

}  // namespace qvx::storage::ui

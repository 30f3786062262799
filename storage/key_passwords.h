// Passwords of private keys kept in the password storage: saving a typed
// password with an association to its key, and finding a key's password again
// without a prompt. The key code passes KeyIds as 52 raw bytes.
#pragma once

#include <optional>
#include <string_view>

#include "platform/result.h"
#include "platform/secure.h"
#include "platform/settings.h"
#include "storage/associations.h"
#include "storage/login.h"

namespace qvx::storage {

// The check value of a password as the storage header and the associations
// keep it: SHA-256(SHA-256(password)).
Sha256Digest PasswordCheckValue(std::string_view password);

// After the user typed password P for a key and asked to save it, with an
// account logged in: adds a record (owner = the key's owner name, empty note)
// unless a record with P exists already, then associates the key with P in
// this account. A password the storage cannot keep intact (InvalidArgument)
// or a failed save leaves both files unchanged.
Status SaveAndAssociate(StorageSession& session, AssociationsFile& associations,
                        const KeyIdBytes& key_id, std::string_view key_owner,
                        std::string_view password);

// The protection key of a key pair from its association: finds the
// association, logs in to the account it names (running the login dialog when
// another account or none is logged in) and returns SHA-256 of the stored
// password. nullopt when any step fails; the caller then asks for the password.
std::optional<Key256> LookupProtectionKey(const AssociationsFile& associations,
                                          const KeyIdBytes& key_id, StorageLogin& login,
                                          SettingsStore* settings, LoginDialogRunner& dialog);

}  // namespace qvx::storage

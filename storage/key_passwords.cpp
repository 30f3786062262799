// Saving and finding private-key passwords through the storage.
#include "storage/key_passwords.h"

#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "storage/storage_file.h"

namespace qvx::storage {

Sha256Digest PasswordCheckValue(std::string_view password) {
  return StorageCheckValue(PasswordToKey(password));
}

Status SaveAndAssociate(StorageSession& session, AssociationsFile& associations,
                        const KeyIdBytes& key_id, std::string_view key_owner,
                        std::string_view password) {
  const Sha256Digest check = PasswordCheckValue(password);
  auto found = session.FindAssociatedPassword(check);
  if (!found) {
    if (found.code() != Errc::NotFound) return found.error();
    if (Status s = session.Add(key_owner, password, {}); !s) return s;
  }
  return associations.Add(key_id, check, session.account());
}

std::optional<Key256> LookupProtectionKey(const AssociationsFile& associations,
                                          const KeyIdBytes& key_id, StorageLogin& login,
                                          SettingsStore* settings, LoginDialogRunner& dialog) {
  auto association = associations.Find(key_id);
  if (!association || !association->has_value()) return std::nullopt;
  const KeyAssociation& a = **association;
  // The name comes from a file: one that could not name an account file is
  // not offered to the login at all.
  if (AccountNameProblem(a.account, NameUse::Open)) return std::nullopt;
  if (!EnsureStorageLogin(login, std::string_view(a.account), settings, dialog)) return std::nullopt;
  auto key = login.session()->FindAssociatedPassword(a.check);
  if (!key) return std::nullopt;
  return *key;
}

}  // namespace qvx::storage

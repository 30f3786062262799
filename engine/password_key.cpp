// Password to key.
#include "engine/password_key.h"

#include "engine/sha256.h"

namespace qvx {

Key256 PasswordToKey(std::string_view password) {
  Key256 key;
  Sha256 h;
  h.Update(password.data(), password.size());
  h.Final(key.data());
  return key;
}

}  // namespace qvx

// How a password becomes a cipher key: the SHA-256 digest of its bytes as
// typed (no terminator, salt or iteration). Every password of the crypto-text
// blocks, the private key files, transport files and the password storage
// goes through here.
#pragma once

#include <string_view>

#include "platform/secure.h"

namespace qvx {

Key256 PasswordToKey(std::string_view password);

}  // namespace qvx

// A crypto-text block made by the engine under one password, for tests that
// need a block to decrypt. Header-only like the scripted passwords it uses.
#pragma once

#include <string>

#include "engine/cryptotext.h"
#include "tests/support/scripted_passwords.h"

namespace qvx::test {

// The block, or an empty string when the engine failed.
inline std::string MakePasswordBlock(const std::string& text, const std::string& password) {
  auto passwords = ScriptedPasswords::Always(password);
  CryptoTextOperation operation(passwords);
  auto block = operation.EncryptText(text);
  return block ? *block : std::string();
}

}  // namespace qvx::test

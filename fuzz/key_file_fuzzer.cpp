// Fuzz target: the key file readers (public, private with and without a
// protection key, header only) on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "keys/key_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qvx::Key256 key = qvx::PasswordToKey("fuzz");
  (void)qvx::ReadKeyFileHeader(data, size);
  (void)qvx::DecodePublicKeyFile(data, size);
  if (auto image = qvx::PrivateKeyFileImage::Parse(data, size)) {
    (void)image->Unlock(&key);
    (void)image->Unlock(nullptr);
  }
  return 0;
}

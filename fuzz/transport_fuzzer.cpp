// Fuzz target: the transport file reader and the deciphering of its private
// part under a fixed transport key.
#include <cstddef>
#include <cstdint>

#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "keys/transport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qvx::Key256 key = qvx::PasswordToKey("fuzz");
  if (auto file = qvx::ParseTransportFile(data, size)) {
    if (file->content == qvx::TransportContent::PublicAndPrivate) {
      (void)qvx::DecipherTransportPrivate(*file, key);
    }
  }
  return 0;
}

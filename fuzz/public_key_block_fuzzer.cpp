// Fuzz target: reading a public key block out of an arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "keys/messages.h"
#include "keys/public_key_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)qvx::ReadPublicKeyBlock(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

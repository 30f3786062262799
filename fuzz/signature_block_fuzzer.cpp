// Fuzz target: finding and decoding the signature block of an arbitrary text
// and checking its signature under a fixed key.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "keys/messages.h"
#include "keys/signature.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qvx::RsaKey key = [] {
    auto made = qvx::RsaKey::Generate(1024);
    return made ? std::move(*made) : qvx::RsaKey();
  }();
  qvx::SilentMessages messages;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto block = qvx::ReadSignatureBlock(text, messages)) {
    (void)qvx::CheckSignatureBlob(text.substr(0, block->signed_length), block->blob.data(),
                                  block->blob.size(), key);
  }
  return 0;
}

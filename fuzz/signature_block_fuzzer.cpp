// Fuzz target: finding and decoding the signature block of an arbitrary text
// (as found, or quoted, indented, re-wrapped, with other line breaks) and
// checking its signature under a fixed key against every form of the signed
// text that verification tries, and what follows the block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "keys/messages.h"
#include "keys/signature.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qvx::RsaKey key = [] {
    auto made = qvx::RsaKey::Generate(1024);
    return made ? std::move(*made) : qvx::RsaKey();
  }();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto block = qvx::ReadSignatureBlock(text)) {
    // Every form of the signed text that verification would try: the first is
    // the text as found, none grows beyond twice it.
    const auto forms = qvx::SignedTextForms(text, *block);
    if (forms.empty() || forms.size() > 4 || forms[0].text != text.substr(0, block->signed_length)) std::abort();
    for (const auto& form : forms) {
      if (form.text.size() > 2 * block->signed_length) std::abort();
      (void)qvx::CheckSignatureBlob(form.text, block->blob.data(), block->blob.size(), key);
    }
    // What follows the block: another block is only reported when one is there.
    const auto after = qvx::TextAfterBlock(text, *block);
    if (after == qvx::TextAfterSignature::kSignature &&
        !qvx::FindMarkerLine(text, qvx::kSignatureMarkers.start, block->span.end)) {
      std::abort();
    }
  }
  return 0;
}

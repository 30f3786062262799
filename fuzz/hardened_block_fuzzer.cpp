// Fuzzes the reader of hardened (format-2) blocks. The first byte chooses
// what the rest is:
//   0: a decoded block, armoured and decrypted (password "fuzz"; recipients
//      opened with a fixed content key), so every header field and the tag
//      check see hostile bytes;
//   1: an inner plaintext, sealed under the fixed content key and decrypted,
//      so the code behind a good tag (length field, padding, PPMd stream)
//      sees hostile bytes too;
//   2: a text, which must come back unchanged through a recipients block.
// Password blocks whose cost exceeds a small bound are only parsed: the real
// bound (64 MiB, 16 passes) is correct but far too slow per input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/cryptotext.h"
#include "engine/hardened_block.h"
#include "engine/password_key.h"

namespace {

class FuzzPassword final : public qvx::PasswordPrompt {
 public:
  qvx::Result<qvx::Key256> AskEncryptionKey() override { return qvx::PasswordToKey("fuzz"); }
  qvx::Result<qvx::Key256> AskDecryptionKey(qvx::DecryptionPasswordRequest&) override {
    return qvx::PasswordToKey("fuzz");
  }
};

qvx::Key256 ContentKey() {
  qvx::Key256 key;
  for (std::size_t i = 0; i < key.size(); ++i) key.data()[i] = static_cast<std::uint8_t>(i * 7 + 1);
  return key;
}

class FixedRecipients final : public qvx::RecipientKeys {
 public:
  qvx::Result<std::vector<qvx::RecipientSlot>> Wrap(const qvx::Key256&) override {
    qvx::RecipientSlot slot;
    slot.wrapped.assign(qvx::kMinWrappedSize, 1);
    return std::vector<qvx::RecipientSlot>{slot};
  }
  qvx::Result<qvx::Key256> Unwrap(const std::vector<qvx::RecipientSlot>& slots) override {
    Check(!slots.empty() && slots.size() <= qvx::kMaxRecipients);
    return ContentKey();
  }
  static void Check(bool condition) {
    if (!condition) std::abort();
  }
};

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr std::size_t kMaxText = std::size_t{1} << 20;

qvx::Result<qvx::DecryptedText> DecryptArmoured(const std::vector<std::uint8_t>& block) {
  FuzzPassword prompt;
  FixedRecipients recipients;
  qvx::CryptoTextOperation op(prompt, nullptr, nullptr, &recipients);
  return op.DecryptAllBlocks(qvx::ArmourHardened(block), qvx::DecryptLimits{kMaxText});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t* rest = data + 1;
  const std::size_t rest_size = size - 1;
  switch (data[0] % 3) {
    case 0: {
      auto parsed = qvx::ParseHardenedHeader(rest, rest_size);
      if (!parsed) return 0;
      Check(parsed->header_size + qvx::kTagSize <= rest_size);
      const qvx::Argon2Params& cost = parsed->header.kdf;
      Check(parsed->header.mode != qvx::HardenedMode::Password || qvx::Argon2ParamsAcceptable(cost));
      if (parsed->header.mode == qvx::HardenedMode::Password && (cost.memory_kib > 1024 || cost.passes > 2)) {
        return 0;
      }
      auto result = DecryptArmoured(std::vector<std::uint8_t>(rest, rest + rest_size));
      if (result) Check(result->text.size() <= kMaxText);
      break;
    }
    case 1: {
      qvx::HardenedHeader header;
      header.mode = qvx::HardenedMode::Recipients;
      header.recipients.resize(1);
      header.recipients[0].wrapped.assign(qvx::kMinWrappedSize, 2);
      auto header_bytes = qvx::EncodeHardenedHeader(header);
      Check(header_bytes.ok());
      auto block = qvx::SealInner(ContentKey(), *header_bytes, header.nonce, qvx::SecureBytes(rest, rest + rest_size));
      Check(block.ok());
      auto result = DecryptArmoured(*block);
      // Behind a good tag a failure is a damaged block, never a wrong key.
      if (!result) Check(result.code() == qvx::Errc::Corrupted || result.code() == qvx::Errc::OutOfMemory);
      break;
    }
    default: {
      const std::string_view text(reinterpret_cast<const char*>(rest), rest_size);
      qvx::Nonce nonce{};
      auto block = qvx::SealHardenedRecipientsText(text, ContentKey(), FixedRecipients().Wrap(ContentKey()).value(),
                                                   nonce);
      Check(block.ok());
      FuzzPassword prompt;
      FixedRecipients recipients;
      qvx::CryptoTextOperation op(prompt, nullptr, nullptr, &recipients);
      auto result = op.DecryptAllBlocks(*block, qvx::DecryptLimits{kMaxText});
      Check(result.ok() && result->text.view() == text);
      break;
    }
  }
  return 0;
}

// Fuzzes the crypto-text scan and block reader: any text goes through the
// tolerant block search, the body reader and the whole decryption under a fixed
// password ("fuzz"), with an RSA handler that hands its envelope straight
// back as the payload so that mode-1 blocks reach the payload checks and the
// decompressor without a cipher in the way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/cryptotext.h"
#include "engine/password_key.h"
#include "engine/rijndael.h"

namespace {

class FuzzPassword final : public qvx::PasswordPrompt {
 public:
  qvx::Result<qvx::Key256> AskEncryptionKey() override { return qvx::PasswordToKey("fuzz"); }
  qvx::Result<qvx::Key256> AskDecryptionKey(qvx::DecryptionPasswordRequest& request) override {
    request.use_common_password = (++asks & 1) != 0;  // both ways of the common password
    return qvx::PasswordToKey("fuzz");
  }
  unsigned asks = 0;
};

class PassThroughRsa final : public qvx::RsaEnvelopeHandler {
 public:
  qvx::Result<std::vector<std::uint8_t>> Encrypt(const qvx::SecureBytes& payload,
                                                 const qvx::EnvelopeContext&) override {
    return std::vector<std::uint8_t>(payload.begin(), payload.end());
  }
  qvx::Result<qvx::SecureBytes> Decrypt(const std::uint8_t* envelope, std::size_t size,
                                        const qvx::EnvelopeContext&) override {
    return qvx::SecureBytes(envelope, envelope + size / 32 * 32);
  }
};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  std::size_t from = 0;
  while (auto span = qvx::FindNextBlock(text, from)) {
    Check(from <= span->start && span->start <= span->start_line.line_begin &&
          span->start_line.content_end < span->body_begin && span->body_begin <= span->body_end &&
          span->body_end <= span->end_line.line_begin && span->end_line.content_end <= span->end &&
          span->end <= text.size());
    if (auto body = qvx::ReadBlockBody(text, *span)) {
      for (char c : *body) Check(c != '\r' && c != '\n' && c != ' ' && c != '>');
      (void)qvx::ParseBody(*body);
    }
    from = span->end;
  }

  FuzzPassword prompt;
  PassThroughRsa rsa;
  qvx::CryptoTextOperation op(prompt, nullptr, &rsa);
  // A small limit keeps blocks of long runs (see the corpus) fast.
  constexpr std::size_t kMaxText = std::size_t{1} << 20;
  auto result = op.DecryptAllBlocks(text, qvx::DecryptLimits{kMaxText});
  if (result && result->blocks == 0) Check(result->text.view() == text);
  if (result) Check(result->text.size() <= text.size() + kMaxText);
  return 0;
}

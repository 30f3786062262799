// One text operation: a whole text into one crypto-text block, or every block
// of a text back to its plaintext, with the password questions and messages
// in between.
#include "engine/cryptotext.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/base64.h"
#include "engine/checksum.h"
#include "engine/envelope.h"
#include "engine/payload.h"
#include "engine/rijndael.h"
#include "platform/system.h"

namespace qvx {

namespace {

Error InBlock(std::size_t number, Error error) {
  error.detail = "block " + std::to_string(number) + ": " + error.detail;
  return error;
}

// True when a key deciphered the payload's frame as it was written: a length
// field that accounts for exactly the envelope's blocks, and zero padding after
// it. A wrong key passes this with a chance of about 2^-27 at most, so a payload
// that passes it and still fails a later check was damaged, not misread.
bool FrameLooksRight(const SecureBytes& padded) {
  if (padded.size() < Rijndael256::kBlockSize) return false;
  const std::size_t length = ReadLe32(padded.data() + 4);
  // Below the padded size first, so that EnvelopeSize cannot wrap.
  if (length < kPayloadHeaderSize || length >= padded.size() ||
      EnvelopeSize(length) != padded.size()) {
    return false;
  }
  std::uint8_t rest = 0;
  for (std::size_t i = length; i < padded.size(); ++i) rest |= padded[i];
  return rest == 0;
}

// Shows the progress display once a block's text has grown past
// kDecodeProgressAfter bytes (a short text decodes before anyone could press
// Cancel), with the share of the stream read as the figure.
class DecodeProgressDisplay final : public ppmd::DecodeProgress {
 public:
  DecodeProgressDisplay(ProgressUi& ui, std::size_t stream_size) : ui_(ui), stream_size_(stream_size) {}

  bool Continue(std::size_t input_read, std::size_t output_size) override {
    if (!scope_) {
      if (output_size < kDecodeProgressAfter) return true;
      scope_ = ui_.StartProgress();
    }
    if (scope_->CancelRequested()) return false;
    const auto percent = static_cast<unsigned>(std::uint64_t{100} * input_read / (stream_size_ + 1));
    if (percent != shown_) {
      scope_->SetPercent(percent);
      shown_ = percent;
    }
    return true;
  }

 private:
  ProgressUi& ui_;
  std::size_t stream_size_;
  std::unique_ptr<ProgressScope> scope_;
  unsigned shown_ = 101;  // nothing shown yet
};

}  // namespace

CryptoTextOperation::CryptoTextOperation(PasswordPrompt& passwords, ProgressUi* progress,
                                         RsaEnvelopeHandler* rsa, RecipientKeys* recipients)
    : passwords_(passwords), progress_(progress), rsa_(rsa), recipients_(recipients) {}

CryptoTextOperation::~CryptoTextOperation() = default;  // Key256 wipes itself

Result<std::string> CryptoTextOperation::EncryptText(std::string_view text, EnvelopeMode mode,
                                                     CryptoFormat format) {
  if (format == CryptoFormat::Hardened) return EncryptHardened(text, mode);
  if (mode == EnvelopeMode::Rsa && rsa_ == nullptr) {
    return MakeError(Errc::Unsupported, "no RSA keys are available to encrypt to");
  }
  // The password is asked before the work, so a long text is not compressed
  // only to be thrown away when the user cancels.
  std::optional<Result<Key256>> key;
  if (mode == EnvelopeMode::Password) {
    key.emplace(passwords_.AskEncryptionKey());
    if (!*key) return key->error();
  }
  auto payload = CompressPayload(text);
  if (!payload) return payload.error();
  const std::uint32_t checksum = DataChecksum(payload->data(), payload->size());

  std::vector<std::uint8_t> envelope;
  if (mode == EnvelopeMode::Password) {
    auto sealed = SealPasswordEnvelope(key->value(), payload->data(), payload->size(), progress_);
    if (!sealed) return sealed.error();
    envelope = std::move(*sealed);
  } else {
    const EnvelopeContext context{progress_};
    auto sealed = rsa_->Encrypt(*payload, context);
    if (!sealed) return sealed.error();
    envelope = std::move(*sealed);
  }
  return ArmourBody(FormatBody(checksum, mode, envelope.data(), envelope.size()));
}

Result<DecryptedText> CryptoTextOperation::DecryptAllBlocks(std::string_view text, DecryptLimits limits) {
  DecryptedText out;
  if (ContainsCryptoText(text) && !FirstBlockHasEnd(text)) {
    out.notices.push_back({Msg::CryptoEndNotFound, BoxKind::Error, {}});
    out.text = SecureString(text);
    out.end_line_missing = true;
    return out;
  }
  // The plaintexts are collected first, so that the result is made once at
  // its final size instead of growing (and leaving copies) as it goes.
  struct Piece {
    std::size_t start, end;  // the block's span in the text
    SecureString plain;
  };
  std::vector<Piece> pieces;
  std::size_t current = 0;
  std::size_t text_left = limits.max_text;  // for the plaintexts still to come
  while (auto span = FindNextBlock(text, current)) {
    bool quiet = false;
    const std::size_t number = pieces.size() + 1;
    const auto body = ReadBlockBody(text, *span);
    Result<SecureString> plain =
        !body ? Result<SecureString>(InBlock(number, MakeError(Errc::Corrupted, "the block holds text that is not Base64")))
        : span->format == CryptoFormat::Hardened ? DecryptHardenedBody(*body, number, text_left, quiet)
                                                 : DecryptBody(*body, number, text_left, quiet);
    if (!plain) {
      Error error = plain.error();
      if (!quiet) error.Then(Msg::DecryptionError);
      return error;
    }
    text_left -= plain->size();
    pieces.push_back({span->start, span->end, std::move(*plain)});
    current = span->end;
  }
  out.blocks = pieces.size();
  if (pieces.size() == 1 && pieces[0].start == 0 && pieces[0].end == text.size()) {
    out.text = std::move(pieces[0].plain);
    return out;
  }
  std::size_t size = text.size();
  for (const Piece& p : pieces) size = size - (p.end - p.start) + p.plain.size();
  out.text.reserve(size);
  current = 0;
  for (const Piece& p : pieces) {
    out.text.append(text.substr(current, p.start - current));
    out.text.append(p.plain.view());
    current = p.end;
  }
  out.text.append(text.substr(current));
  return out;
}

Result<SecureString> CryptoTextOperation::DecryptBody(std::string_view body, std::size_t number,
                                                      std::size_t max_text, bool& quiet) {
  auto parsed = ParseBody(body);
  if (!parsed) return InBlock(number, parsed.error());
  SecureBytes padded;
  if (parsed->mode == EnvelopeMode::Password) {
    auto opened = OpenPasswordBlock(parsed->envelope, number, quiet);
    if (!opened) return opened.error();
    padded = std::move(*opened);
  } else {
    if (rsa_ == nullptr) {
      return InBlock(number, MakeError(Errc::Unsupported,
                                       "the block is encrypted to an RSA key, and no keys are available"));
    }
    const EnvelopeContext context{progress_};
    auto opened = rsa_->Decrypt(parsed->envelope.data(), parsed->envelope.size(), context);
    if (!opened) {
      quiet = opened.code() == Errc::Cancelled;
      return InBlock(number, opened.error());
    }
    padded = std::move(*opened);
  }
  return OpenPayload(padded, parsed->payload_checksum, number, max_text,
                     parsed->mode == EnvelopeMode::Rsa, quiet);
}

Result<Key256> CryptoTextOperation::DecryptionKey(std::size_t number, bool& quiet) {
  // The first password block of the text always asks; the later ones ask only
  // when the user cleared the common-password box.
  const bool first = prompt_pending_;
  if (!first && use_common_password_) return password_key_;
  prompt_pending_ = false;
  DecryptionPasswordRequest request;
  request.use_common_password = use_common_password_;
  request.block_number = number;
  auto key = passwords_.AskDecryptionKey(request);
  if (!key) {
    // Cancelling the first question leaves the text as it was without a word;
    // cancelling a later one fails the text with a message.
    quiet = first && key.code() == Errc::Cancelled;
    return InBlock(number, key.error());
  }
  use_common_password_ = request.use_common_password;
  password_key_ = *key;
  return key;
}

Result<SecureBytes> CryptoTextOperation::OpenPasswordBlock(const std::vector<std::uint8_t>& envelope,
                                                              std::size_t number, bool& quiet) {
  if (envelope.size() < Rijndael256::kBlockSize) {
    return InBlock(number, MakeError(Errc::Corrupted, "the block holds no enciphered data"));
  }
  auto key = DecryptionKey(number, quiet);
  if (!key) return key.error();
  auto plain = OpenPasswordEnvelope(*key, envelope.data(), envelope.size(), progress_);
  if (!plain) {
    quiet = plain.code() == Errc::Cancelled;
    return InBlock(number, plain.error());
  }
  return plain;
}

Result<SecureString> CryptoTextOperation::OpenPayload(const SecureBytes& padded,
                                                      std::optional<std::uint32_t> checksum,
                                                      std::size_t number, std::size_t max_text, bool rsa,
                                                      bool& quiet) {
  const bool frame_right = FrameLooksRight(padded);
  auto fail = [&](const std::string& what) -> Error {
    if (rsa) return InBlock(number, UndecryptableRsaEnvelope());
    if (frame_right) {
      return InBlock(number, MakeError(Errc::Corrupted, Msg::WrongPasswordOrBadData, BoxKind::Plain, {},
                                       std::string("the block is damaged (") + what + ")"));
    }
    return InBlock(number, MakeError(Errc::WrongPassword, Msg::WrongPasswordOrBadData, BoxKind::Plain, {},
                                     "wrong password, or the block is damaged"));
  };
  if (padded.size() < kPayloadHeaderSize) return fail("no payload");
  const std::size_t length = ReadLe32(padded.data() + 4);
  if (length < kPayloadHeaderSize || length > padded.size()) return fail("length field");
  if (!checksum || DataChecksum(padded.data(), length) != *checksum) return fail("payload checksum");
  std::optional<DecodeProgressDisplay> display;
  if (progress_ != nullptr) display.emplace(*progress_, length - kPayloadHeaderSize);
  auto text = DecompressPayload(padded.data(), length, max_text, display ? &*display : nullptr);
  if (!text) {
    if (text.code() == Errc::Cancelled) {
      quiet = true;
      return InBlock(number, text.error());
    }
    if (text.code() == Errc::OutOfMemory) {
      return InBlock(number, Error(text.error()).Then(Msg::MemoryAllocationError, BoxKind::Error));
    }
    return fail(text.error().detail);
  }
  return text;
}

Result<std::string> CryptoTextOperation::EncryptHardened(std::string_view text, EnvelopeMode mode) {
  Nonce nonce;
  if (auto drawn = RandomBytes(nonce.data(), nonce.size()); !drawn) return drawn.error();
  if (mode == EnvelopeMode::Password) {
    auto password_key = passwords_.AskEncryptionKey();
    if (!password_key) return password_key.error();
    Salt salt;
    if (auto drawn = RandomBytes(salt.data(), salt.size()); !drawn) return drawn.error();
    return SealHardenedPasswordText(text, *password_key, salt, nonce, hardened_cost_);
  }
  if (recipients_ == nullptr) return MakeError(Errc::Unsupported, "no RSA keys are available to encrypt to");
  Key256 content_key;
  if (auto drawn = RandomBytes(content_key.data(), content_key.size()); !drawn) return drawn.error();
  auto slots = recipients_->Wrap(content_key);
  if (!slots) return slots.error();
  return SealHardenedRecipientsText(text, content_key, std::move(*slots), nonce);
}

Result<SecureString> CryptoTextOperation::DecryptHardenedBody(std::string_view body, std::size_t number,
                                                              std::size_t max_text, bool& quiet) {
  const auto block = Base64Decode(body);
  if (!block) {
    return InBlock(number, MakeError(Errc::Corrupted, Msg::HardenedBlockDamaged, BoxKind::Error, {},
                                     "the block is not valid Base64"));
  }
  // The whole header, its cost bounds included, is read before the user is
  // asked anything or any key is derived.
  auto parsed = ParseHardenedHeader(block->data(), block->size());
  if (!parsed) return InBlock(number, parsed.error());
  Key256 key;
  if (parsed->header.mode == HardenedMode::Password) {
    auto password_key = DecryptionKey(number, quiet);
    if (!password_key) return password_key.error();
    auto derived = DeriveHardenedKey(*password_key, parsed->header.salt, parsed->header.kdf);
    if (!derived) {
      if (derived.code() == Errc::OutOfMemory) {
        return InBlock(number, Error(derived.error()).Then(Msg::MemoryAllocationError, BoxKind::Error));
      }
      return InBlock(number, derived.error());
    }
    key = *derived;
  } else {
    if (recipients_ == nullptr) {
      return InBlock(number, MakeError(Errc::Unsupported, Msg::HardenedNoRecipientKey, BoxKind::Error,
                                       RecipientList(parsed->header.recipients),
                                       "the block is encrypted to RSA keys, and no keys are available"));
    }
    auto unwrapped = recipients_->Unwrap(parsed->header.recipients);
    if (!unwrapped) {
      quiet = unwrapped.code() == Errc::Cancelled;
      return InBlock(number, unwrapped.error());
    }
    key = *unwrapped;
  }
  auto inner = OpenInner(key, block->data(), block->size(), *parsed);
  if (!inner) {
    if (inner.code() != Errc::WrongPassword) return InBlock(number, inner.error());
    const bool password = parsed->header.mode == HardenedMode::Password;
    return InBlock(number, MakeError(password ? Errc::WrongPassword : Errc::Corrupted,
                                     password ? Msg::HardenedWrongPasswordOrChanged : Msg::HardenedTextChanged,
                                     BoxKind::Error, {}, inner.error().detail));
  }
  std::optional<DecodeProgressDisplay> display;
  if (progress_ != nullptr) display.emplace(*progress_, inner->size());
  auto text = ReadInnerPlaintext(*inner, max_text, display ? &*display : nullptr);
  if (!text) {
    if (text.code() == Errc::Cancelled) {
      quiet = true;
      return InBlock(number, text.error());
    }
    if (text.code() == Errc::OutOfMemory) {
      return InBlock(number, Error(text.error()).Then(Msg::MemoryAllocationError, BoxKind::Error));
    }
    // Authenticated and still not readable: made wrongly, or over the limit.
    return InBlock(number, MakeError(Errc::Corrupted, Msg::HardenedBlockDamaged, BoxKind::Error, {},
                                     text.error().detail));
  }
  return text;
}

}  // namespace qvx

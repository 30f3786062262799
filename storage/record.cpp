// Encoding and decoding of password records.
#include "storage/record.h"

#include <cstring>
#include <utility>

#include "engine/checksum.h"
#include "engine/password_key.h"
#include "engine/sha256.h"

namespace qvx::storage {

namespace {

// Three cipher blocks: the password field plus the 16 bytes its third block
// covers beyond the field (the note's check value and first 12 bytes).
constexpr std::size_t kPasswordSpan = 3 * Rijndael256::kBlockSize;
static_assert(kPasswordOffset + kPasswordSpan == kNoteOffset + 12);
static_assert(kNoteOffset + kNoteFieldSize == kRecordSize);

// Lays out a text field before enciphering: the text, its terminating zero,
// random filler as 16-bit words over the rest of the field except its last
// byte, zeros elsewhere.
Status PutText(std::uint8_t* field, std::size_t field_size, std::string_view text) {
  std::memset(field, 0, field_size);
  if (!text.empty()) std::memcpy(field, text.data(), text.size());
  const std::size_t used = text.size() + 2;  // the text, its zero and the last byte
  if (field_size >= used + 2) {
    const std::size_t words = (field_size - used) / 2;
    if (Status s = RandomBytes(field + text.size() + 1, 2 * words); !s) return s;
  }
  return Ok();
}

// The text of a deciphered field: up to its first zero, or the whole field.
std::string_view TextOf(const std::uint8_t* field, std::size_t field_size) {
  const void* zero = std::memchr(field, 0, field_size);
  const std::size_t n =
      zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - field) : field_size;
  return {reinterpret_cast<const char*>(field), n};
}

Status EncodeField(RecordBytes& record, const Rijndael256& cipher, std::size_t check_offset,
                   std::size_t offset, std::size_t size, std::string_view text) {
  SecretArray<kNoteFieldSize> field;
  if (Status s = PutText(field.data(), size, text); !s) return s;
  StoreLe32(record.data() + check_offset, DataChecksum(text));
  cipher.EncryptBlocks(field.data(), size);
  std::memcpy(record.data() + offset, field.data(), size);
  return Ok();
}

// Deciphers the password field as it was enciphered: three blocks starting at
// the field. Only the first 64 bytes of the result are the real field.
void DecipherPassword(const RecordBytes& record, const Rijndael256& cipher,
                      SecretArray<kPasswordSpan>& span) {
  std::memcpy(span.data(), record.data() + kPasswordOffset, kPasswordSpan);
  cipher.DecryptBlocks(span.data(), kPasswordSpan);
}

Status CheckField(const std::uint8_t* field, std::size_t size, std::uint32_t stored,
                  const char* name) {
  if (DataChecksum(TextOf(field, size)) != stored) {
    return MakeError(Errc::Corrupted, std::string(name) + " does not match its check value");
  }
  return Ok();
}

// Deciphers a whole-block text field and tests it against its check value.
Result<SecureString> DecodeField(const RecordBytes& record, const Rijndael256& cipher,
                                std::size_t check_offset, std::size_t offset, std::size_t size,
                                const char* name) {
  SecretArray<kNoteFieldSize> field;
  std::memcpy(field.data(), record.data() + offset, size);
  cipher.DecryptBlocks(field.data(), size);
  if (Status s = CheckField(field.data(), size, LoadLe32(record.data() + check_offset), name); !s) {
    return s.error();
  }
  return SecureString(TextOf(field.data(), size));
}

}  // namespace

std::uint32_t LoadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void StoreLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint64_t LoadLe64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadLe32(p)) | static_cast<std::uint64_t>(LoadLe32(p + 4)) << 32;
}

void StoreLe64(std::uint8_t* p, std::uint64_t v) {
  StoreLe32(p, static_cast<std::uint32_t>(v));
  StoreLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

std::optional<TextProblem> CheckPasswordText(std::string_view password) {
  if (password.find('\0') != std::string_view::npos) return TextProblem::ContainsZero;
  if (password.size() > kMaxPasswordLength) return TextProblem::PasswordTooLong;
  return std::nullopt;
}

std::optional<TextProblem> CheckRecordTexts(std::string_view owner, std::string_view password,
                                            std::string_view note) {
  if (owner.find('\0') != std::string_view::npos || note.find('\0') != std::string_view::npos) {
    return TextProblem::ContainsZero;
  }
  if (owner.size() > kMaxOwnerLength) return TextProblem::OwnerTooLong;
  if (note.size() > kMaxNoteLength) return TextProblem::NoteTooLong;
  return CheckPasswordText(password);
}

const char* TextProblemText(TextProblem problem) {
  switch (problem) {
    case TextProblem::OwnerTooLong: return "the owner name is longer than 127 characters";
    case TextProblem::PasswordTooLong:
      return "the password is longer than 63 characters, more than a password record keeps";
    case TextProblem::NoteTooLong: return "the note is longer than 255 characters";
    case TextProblem::ContainsZero: return "a text contains a zero byte";
  }
  return "the text cannot be stored";
}

Status ValidateRecordTexts(std::string_view owner, std::string_view password,
                           std::string_view note) {
  if (auto problem = CheckRecordTexts(owner, password, note)) {
    return MakeError(Errc::InvalidArgument, TextProblemText(*problem));
  }
  return Ok();
}

Status EncodeRecord(RecordBytes& record, const Rijndael256& cipher, std::string_view owner,
                    std::string_view password, std::string_view note, FileTime created) {
  if (Status s = ValidateRecordTexts(owner, password, note); !s) return s;
  if (Status s = EncodeField(record, cipher, kOwnerCheckOffset, kOwnerOffset, kOwnerFieldSize,
                             owner);
      !s) {
    return s;
  }
  if (Status s = EncodeSecrets(record, cipher, password, note); !s) return s;
  StoreLe64(record.data() + kTimeOffset, created);
  return Ok();
}

Status EncodeSecrets(RecordBytes& record, const Rijndael256& cipher, std::string_view password,
                     std::string_view note) {
  if (Status s = ValidateRecordTexts({}, password, note); !s) return s;
  // The password's third block takes in the 16 record bytes behind the field
  // and its enciphered form spills back over them; the note written next
  // replaces them. The record keeps the first 80 enciphered bytes.
  SecretArray<kPasswordSpan> span;
  if (Status s = PutText(span.data(), kPasswordFieldSize, password); !s) return s;
  std::memcpy(span.data() + kPasswordFieldSize, record.data() + kPasswordOffset + kPasswordFieldSize,
              kPasswordSpan - kPasswordFieldSize);
  cipher.EncryptBlocks(span.data(), kPasswordSpan);
  StoreLe32(record.data() + kPasswordCheckOffset, DataChecksum(password));
  std::memcpy(record.data() + kPasswordOffset, span.data(), kPasswordSpan);
  return EncodeField(record, cipher, kNoteCheckOffset, kNoteOffset, kNoteFieldSize, note);
}

Result<RecordContents> DecodeRecord(const RecordBytes& record, const Rijndael256& cipher) {
  RecordContents out;
  auto owner = DecodeField(record, cipher, kOwnerCheckOffset, kOwnerOffset, kOwnerFieldSize, "owner");
  if (!owner) return owner.error();
  out.owner = std::move(owner).value();

  SecretArray<kPasswordSpan> span;
  DecipherPassword(record, cipher, span);
  if (Status s = CheckField(span.data(), kPasswordFieldSize,
                            LoadLe32(record.data() + kPasswordCheckOffset), "password");
      !s) {
    return s.error();
  }
  out.password = SecureString(TextOf(span.data(), kPasswordFieldSize));

  auto note = DecodeField(record, cipher, kNoteCheckOffset, kNoteOffset, kNoteFieldSize, "note");
  if (!note) return note.error();
  out.note = std::move(note).value();
  out.created = RecordTime(record);
  return out;
}

Key256 RecordPasswordKey(const RecordBytes& record, const Rijndael256& cipher) {
  SecretArray<kPasswordSpan> span;
  DecipherPassword(record, cipher, span);
  return PasswordToKey(TextOf(span.data(), kPasswordFieldSize));
}

FileTime RecordTime(const RecordBytes& record) { return LoadLe64(record.data() + kTimeOffset); }

}  // namespace qvx::storage

// Writing and reading the key files. Readers check the file checksum first,
// then every length against what is left of the file, then the numbers'
// checksums, and finally the seal under the public key stored in the file.
#include "keys/key_file.h"

#include <algorithm>
#include <cstring>

#include "engine/checksum.h"
#include "engine/rijndael.h"
#include "engine/sha256.h"
#include "keys/byte_io.h"

namespace qvx {

namespace {

constexpr std::size_t kOwnerOffset = 80;
constexpr std::size_t kOwnerField = 80;
constexpr std::size_t kNoteOffset = 160;
constexpr std::size_t kNoteField = 128;

Error Corrupt(const std::string& what) { return MakeError(Errc::Corrupted, what); }

// Reads a NUL-terminated text from a fixed field; nullopt when the field holds
// no terminator.
std::optional<std::string> FieldText(const std::uint8_t* field, std::size_t size) {
  const void* nul = std::memchr(field, 0, size);
  if (nul == nullptr) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(field),
                     static_cast<const std::uint8_t*>(nul) - field);
}

// Appends length, checksum and bytes of one stored number.
template <class Container>
void AppendNumber(Container& out, const std::uint8_t* data, std::size_t size) {
  AppendU32(out, static_cast<std::uint32_t>(size));
  AppendU32(out, DataChecksum(data, size));
  AppendBytes(out, data, size);
}

// Appends the seal over out[4..] and the file checksum at offset 0.
template <class Container>
Status Seal(Container& out, const RsaKey& pair) {
  const auto digest = Sha256Of(out.data() + 4, out.size() - 4);
  auto seal = pair.SignRaw(digest.data(), digest.size());
  if (!seal) return seal.error();
  AppendU32(out, static_cast<std::uint32_t>(seal->size()));
  AppendBytes(out, seal->data(), seal->size());
  PutU32(out.data(), DataChecksum(out.data() + 4, out.size() - 4));
  return Ok();
}

template <class Container>
void AppendHeader(Container& out, const KeyFileHeader& header) {
  std::uint8_t raw[KeyFileHeader::kSize];
  header.Write(raw);
  AppendBytes(out, raw, sizeof raw);
}

// Numbers as the readers take them: a length that fits the remaining file and
// the modulus, and bytes that match their checksum.
struct StoredNumber {
  const std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
  std::uint32_t checksum = 0;
};

StoredNumber TakeNumber(ByteReader& reader, std::size_t max_length) {
  StoredNumber number;
  number.length = reader.U32();
  number.checksum = reader.U32();
  if (reader.failed() || number.length == 0 || number.length > max_length) {
    return StoredNumber{};
  }
  number.data = reader.Take(number.length);
  return number;
}

bool NumberIntact(const StoredNumber& number) {
  return number.data != nullptr && DataChecksum(number.data, number.length) == number.checksum;
}

// What both readers share: everything up to and including e, and the seal.
struct CommonPart {
  KeyFileHeader header;
  Bytes n;
  Bytes e;
  RsaKey public_key;
};

Result<CommonPart> ReadCommonStart(const std::uint8_t* file, std::size_t size, ByteReader& reader) {
  if (size < kKeyFileNumbersOffset) return Corrupt("key file shorter than its header");
  if (DataChecksum(file + 4, size - 4) != GetU32(file)) return Corrupt("key file checksum mismatch");
  auto header = KeyFileHeader::Read(file + kKeyFileHeaderOffset);
  if (!header) return header.error();
  reader = ByteReader(file, size, kKeyFileNumbersOffset);
  const StoredNumber n = TakeNumber(reader, kMaxModulusSize);
  if (!NumberIntact(n) || n.length < kMinModulusSize || n.data[0] == 0) {
    return Corrupt("key file modulus damaged");
  }
  const StoredNumber e = TakeNumber(reader, n.length);
  if (!NumberIntact(e)) return Corrupt("key file exponent damaged");
  // The exponent must be odd and above 1 for the key to mean anything.
  bool above_one = e.data[e.length - 1] > 1;
  for (std::uint32_t i = 0; i + 1 < e.length; ++i) above_one = above_one || e.data[i] != 0;
  if ((e.data[e.length - 1] & 1) == 0 || !above_one) return Corrupt("key file exponent invalid");
  CommonPart part;
  part.header = std::move(*header);
  part.n.assign(n.data, n.data + n.length);
  part.e.assign(e.data, e.data + e.length);
  auto key = RsaKey::FromPublicNumbers(part.n, part.e);
  if (!key) return Corrupt("key file numbers do not form a key");
  part.public_key = std::move(*key);
  return part;
}

// The seal is the last thing in the file; it signs bytes 4 up to its length
// field.
Status CheckSeal(const std::uint8_t* file, ByteReader& reader, const CommonPart& part) {
  const std::size_t seal_offset = reader.position();
  const std::uint32_t seal_length = reader.U32();
  if (reader.failed() || seal_length != part.n.size()) return Corrupt("key file seal length wrong");
  const std::uint8_t* seal = reader.Take(seal_length);
  if (seal == nullptr || reader.remaining() != 0) return Corrupt("key file seal does not end the file");
  auto recovered = part.public_key.RecoverRaw(seal, seal_length);
  const auto digest = Sha256Of(file + 4, seal_offset - 4);
  if (!recovered || recovered->size() != digest.size() ||
      std::memcmp(recovered->data(), digest.data(), digest.size()) != 0) {
    return Corrupt("key file seal does not match");
  }
  return Ok();
}

}  // namespace

void KeyFileHeader::Write(std::uint8_t* out) const {
  std::memset(out, 0, kSize);
  PutU32(out, flags);
  PutU32(out + 4, reserved);
  PutU32(out + 8, static_cast<std::uint32_t>(created));
  PutU32(out + 12, static_cast<std::uint32_t>(created >> 32));
  std::memcpy(out + 16, id.bytes.data(), KeyId::kSize);
  PutU32(out + 76, bits);
  std::memcpy(out + kOwnerOffset, owner.data(), std::min(owner.size(), kOwnerField - 1));
  std::memcpy(out + kNoteOffset, note.data(), std::min(note.size(), kNoteField - 1));
}

Result<KeyFileHeader> KeyFileHeader::Read(const std::uint8_t* data) {
  KeyFileHeader header;
  header.flags = GetU32(data);
  header.reserved = GetU32(data + 4);
  header.created = GetU32(data + 8) | static_cast<FileTime>(GetU32(data + 12)) << 32;
  header.id = KeyId::FromBytes(data + 16);
  header.bits = GetU32(data + 76);
  auto owner = FieldText(data + kOwnerOffset, kOwnerField);
  auto note = FieldText(data + kNoteOffset, kNoteField);
  if (!owner || !note) return Corrupt("key file header text not terminated");
  header.owner = std::move(*owner);
  header.note = std::move(*note);
  return header;
}

Status CheckImportedText(const KeyFileHeader& header) {
  auto is_control = [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 32 && c != '\t') || u == 127;
  };
  for (const std::string* text : {&header.owner, &header.note}) {
    if (std::any_of(text->begin(), text->end(), is_control)) {
      return MakeError(Errc::Corrupted, Msg::KeyTextHasControls, BoxKind::Error, {},
                       "the key's owner or note holds control characters");
    }
  }
  return Ok();
}

Result<KeyFileHeader> ReadKeyFileHeader(const std::uint8_t* file, std::size_t size) {
  if (size < kKeyFileNumbersOffset) return Corrupt("key file shorter than its header");
  return KeyFileHeader::Read(file + kKeyFileHeaderOffset);
}

Result<Bytes> EncodePublicKeyFile(const KeyFileHeader& header, const RsaKey& pair) {
  auto numbers = pair.PublicNumbers();
  if (!numbers) return numbers.error();
  KeyFileHeader h = header;
  h.flags |= KeyFileHeader::kFlagPublicFile;
  Bytes out(4, 0);
  AppendHeader(out, h);
  AppendNumber(out, numbers->n.data(), numbers->n.size());
  AppendNumber(out, numbers->e.data(), numbers->e.size());
  if (auto sealed = Seal(out, pair); !sealed) return sealed.error();
  return out;
}

Result<SecureBytes> EncodePrivateKeyFile(const KeyFileHeader& header, const RsaKey& pair,
                                         const Key256* protection) {
  auto numbers = pair.PrivateNumbers();
  if (!numbers) return numbers.error();
  KeyFileHeader h = header;
  h.flags &= ~KeyFileHeader::kFlagPublicFile;
  if (protection != nullptr) {
    h.flags |= KeyFileHeader::kFlagProtected;
  } else {
    h.flags &= ~KeyFileHeader::kFlagProtected;
  }
  SecureBytes out(4, 0);
  AppendHeader(out, h);
  AppendNumber(out, numbers->n.data(), numbers->n.size());
  AppendNumber(out, numbers->e.data(), numbers->e.size());
  const SecureBytes* secrets[] = {&numbers->d,    &numbers->p,    &numbers->q,
                                  &numbers->dmp1, &numbers->dmq1, &numbers->iqmp};
  for (const SecureBytes* secret : secrets) {
    AppendU32(out, static_cast<std::uint32_t>(secret->size()));
    AppendU32(out, DataChecksum(secret->data(), secret->size()));
    const std::size_t start = out.size();
    AppendBytes(out, secret->data(), secret->size());
    out.resize(start + RoundUpToBlocks(secret->size()), 0);
    if (protection != nullptr) {
      Rijndael256(*protection).EncryptBlocks(out.data() + start, out.size() - start);
    }
  }
  if (auto sealed = Seal(out, pair); !sealed) return sealed.error();
  return out;
}

Result<PublicKeyFile> DecodePublicKeyFile(const std::uint8_t* file, std::size_t size) {
  ByteReader reader(file, 0);
  auto part = ReadCommonStart(file, size, reader);
  if (!part) return part.error();
  if (auto sealed = CheckSeal(file, reader, *part); !sealed) return sealed.error();
  return PublicKeyFile{std::move(part->header), std::move(part->public_key)};
}

Result<PrivateKeyFileImage> PrivateKeyFileImage::Parse(const std::uint8_t* file, std::size_t size) {
  ByteReader reader(file, 0);
  auto part = ReadCommonStart(file, size, reader);
  if (!part) return part.error();
  PrivateKeyFileImage image;
  for (Secret& secret : image.secrets_) {
    secret.length = reader.U32();
    secret.checksum = reader.U32();
    if (reader.failed() || secret.length == 0 || secret.length > part->n.size()) {
      return Corrupt("private key number length wrong");
    }
    secret.offset = reader.position();
    if (reader.Take(RoundUpToBlocks(secret.length)) == nullptr) {
      return Corrupt("private key number beyond the end of the file");
    }
  }
  if (auto sealed = CheckSeal(file, reader, *part); !sealed) return sealed.error();
  image.header_ = std::move(part->header);
  image.public_key_ = std::move(part->public_key);
  image.n_ = std::move(part->n);
  image.e_ = std::move(part->e);
  image.raw_.assign(file, file + size);
  return image;
}

Result<RsaKey> PrivateKeyFileImage::Unlock(const Key256* protection) const {
  const bool protect = header_.IsProtected();
  if (protect && protection == nullptr) {
    return MakeError(Errc::InvalidArgument, "the private key needs its protection key");
  }
  std::optional<Rijndael256> cipher;
  if (protect) cipher.emplace(*protection);
  RsaPrivateNumbers numbers;
  numbers.n = n_;
  numbers.e = e_;
  SecureBytes* targets[] = {&numbers.d,    &numbers.p,    &numbers.q,
                            &numbers.dmp1, &numbers.dmq1, &numbers.iqmp};
  for (std::size_t i = 0; i < secrets_.size(); ++i) {
    const Secret& s = secrets_[i];
    SecureBytes run(raw_.begin() + static_cast<std::ptrdiff_t>(s.offset),
                    raw_.begin() + static_cast<std::ptrdiff_t>(s.offset + RoundUpToBlocks(s.length)));
    if (cipher) cipher->DecryptBlocks(run.data(), run.size());
    if (DataChecksum(run.data(), s.length) != s.checksum) {
      if (protect) return MakeError(Errc::WrongPassword, "wrong private key password");
      return Corrupt("private key number damaged");
    }
    run.resize(s.length);
    *targets[i] = std::move(run);
  }
  auto key = RsaKey::FromPrivateNumbers(numbers);
  if (!key) return Corrupt("private key numbers do not form a key");
  return key;
}

}  // namespace qvx

// The two key file formats, byte for byte. Both files of a pair share one
// 288-byte header; the public file holds n and e, the private file also the six
// secret numbers (optionally enciphered under a protection key). Each file ends
// in a seal, an RSA signature of SHA-256 over everything before it, and opens
// with a checksum over everything after the checksum itself.
//
// Layout (integers 32-bit little-endian, numbers big-endian and minimal):
//   0    4   DataChecksum of bytes 4..end
//   4  288   KeyFileHeader
//  292   4   n_len, then 4 checksum of n, then n
//        4   e_len, then 4 checksum of e, then e
//   private file only, for d, p, q, dmp1, dmq1, iqmp:
//        4   len, 4 checksum of the len plain bytes, then the bytes padded
//            with zeros to a multiple of 32 (the whole run enciphered when the
//            header says so)
//        4   seal_len (= modulus length), then the seal
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "keys/key_id.h"
#include "keys/rsa_key.h"
#include "platform/result.h"
#include "platform/secure.h"
#include "platform/system.h"

namespace qvx {

// 288 bytes at offset 4 of both key files:
//   0   4  flags (bit 0 protected, bit 1 public file)
//   4   4  reserved
//   8   8  creation time (local FILETIME, low word first)
//  16  52  KeyId
//  68   8  reserved, written as zero
//  76   4  key length in bits as requested at generation
//  80  80  owner, NUL-terminated
// 160 128  note, NUL-terminated
struct KeyFileHeader {
  static constexpr std::size_t kSize = 288;
  static constexpr std::uint32_t kFlagProtected = 1;
  static constexpr std::uint32_t kFlagPublicFile = 2;

  std::uint32_t flags = 0;
  std::uint32_t reserved = 0;
  FileTime created = 0;
  KeyId id;
  std::uint32_t bits = 0;
  std::string owner;  // at most 79 bytes
  std::string note;   // at most 127 bytes

  bool IsProtected() const { return (flags & kFlagProtected) != 0; }
  bool IsPublicFile() const { return (flags & kFlagPublicFile) != 0; }

  // Writes the 288 bytes. Owner and note longer than their fields are cut.
  void Write(std::uint8_t* out) const;
  // Reads 288 bytes; Corrupted when the owner or note has no terminator
  // inside its field.
  static Result<KeyFileHeader> Read(const std::uint8_t* data);
};

// Whether a key received from someone else (a public key block, a transport
// file) may go into the store: its owner and note hold no control characters
// (bytes below 32 other than tab, and 127), which no key made here carries and
// which would act on a terminal that shows them. The failure (Corrupted)
// carries "The key's owner name or note holds control characters...".
Status CheckImportedText(const KeyFileHeader& header);

// Offsets shared by both files.
constexpr std::size_t kKeyFileHeaderOffset = 4;
constexpr std::size_t kKeyFileNumbersOffset = kKeyFileHeaderOffset + KeyFileHeader::kSize;  // 292
// Moduli the readers accept: 512 to 4096 bits. Generation makes 1024 to 2048.
constexpr std::size_t kMinModulusSize = 64;
constexpr std::size_t kMaxModulusSize = 512;

// The header of a key file without checking anything else (for display and
// listing). Corrupted when the file is too short to hold one.
Result<KeyFileHeader> ReadKeyFileHeader(const std::uint8_t* file, std::size_t size);

// The public key file of a pair. The seal needs the private key. The header's
// public-file flag is set and its reserved words 68..75 are cleared.
Result<Bytes> EncodePublicKeyFile(const KeyFileHeader& header, const RsaKey& pair);

// The private key file of a pair, the secret numbers enciphered under
// `protection` when given (the protected flag follows it; the public-file flag
// is cleared).
Result<SecureBytes> EncodePrivateKeyFile(const KeyFileHeader& header, const RsaKey& pair,
                                         const Key256* protection);

struct PublicKeyFile {
  KeyFileHeader header;
  RsaKey key;  // n and e
};

// Reads and checks a public key file: file checksum, every length and offset
// against the file, the checksums of n and e, and the seal under the stored
// public key. Corrupted on any failure; never reads outside the buffer.
Result<PublicKeyFile> DecodePublicKeyFile(const std::uint8_t* file, std::size_t size);

// A private key file whose structure, checksums and seal have been checked but
// whose secret numbers are still as stored. The seal covers the stored bytes,
// so once this exists a failure to decipher can only mean a wrong key.
class PrivateKeyFileImage {
 public:
  static Result<PrivateKeyFileImage> Parse(const std::uint8_t* file, std::size_t size);

  const KeyFileHeader& header() const { return header_; }
  const RsaKey& public_key() const { return public_key_; }
  const Bytes& n() const { return n_; }

  // Deciphers (when protected) and checks the six numbers and builds the full
  // key. WrongPassword when a number fails its checksum under the key given;
  // InvalidArgument when a protected file gets no key.
  Result<RsaKey> Unlock(const Key256* protection) const;

 private:
  struct Secret {
    std::uint32_t length = 0;
    std::uint32_t checksum = 0;
    std::size_t offset = 0;  // of the stored run within raw_
  };
  KeyFileHeader header_;
  RsaKey public_key_;
  Bytes n_;
  Bytes e_;
  std::array<Secret, 6> secrets_{};
  SecureBytes raw_;
};

}  // namespace qvx

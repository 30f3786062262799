// The 484-byte password record of an account file: its layout, encoding under
// the account key (with random filler behind each text) and decoding with the
// check value that guards each text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/rijndael.h"
#include "platform/result.h"
#include "platform/secure.h"
#include "platform/system.h"

namespace qvx::storage {

// Layout of a record. Integers are little-endian; each text field is
// enciphered with Rijndael-256 block by block (ECB) under the account key.
inline constexpr std::size_t kRecordSize = 484;
inline constexpr std::size_t kTimeOffset = 0;            // FILETIME, local wall-clock time
inline constexpr std::size_t kOwnerCheckOffset = 8;      // DataChecksum of the owner text
inline constexpr std::size_t kOwnerOffset = 12;
inline constexpr std::size_t kOwnerFieldSize = 128;      // four cipher blocks
inline constexpr std::size_t kPasswordCheckOffset = 140;
inline constexpr std::size_t kPasswordOffset = 144;
inline constexpr std::size_t kPasswordFieldSize = 80;    // see EncodeSecrets
inline constexpr std::size_t kNoteCheckOffset = 224;
inline constexpr std::size_t kNoteOffset = 228;
inline constexpr std::size_t kNoteFieldSize = 256;       // eight cipher blocks

// Longest texts a record stores intact. The password field is enciphered as
// three blocks of which only the first 80 bytes are kept, so only its first
// two blocks (64 bytes: 63 characters and the terminating zero) decipher again.
inline constexpr std::size_t kMaxOwnerLength = kOwnerFieldSize - 1;   // 127
inline constexpr std::size_t kMaxPasswordLength = 63;
inline constexpr std::size_t kMaxNoteLength = kNoteFieldSize - 1;     // 255

using RecordBytes = std::array<std::uint8_t, kRecordSize>;

// A record's texts and time, deciphered and checked.
// Every text of a record is the user's secret: all three live in wiped memory.
struct RecordContents {
  FileTime created = 0;
  SecureString owner;
  SecureString password;
  SecureString note;
};

// Why texts cannot be stored in a record; nullopt when they can.
enum class TextProblem {
  OwnerTooLong,     // more than 127 characters
  PasswordTooLong,  // more than 63 characters: the record would not keep it intact
  NoteTooLong,      // more than 255 characters
  ContainsZero,     // a zero byte would end the text early when it is read back
};
std::optional<TextProblem> CheckPasswordText(std::string_view password);
std::optional<TextProblem> CheckRecordTexts(std::string_view owner, std::string_view password,
                                            std::string_view note);
// The same as an InvalidArgument error with a readable detail.
Status ValidateRecordTexts(std::string_view owner, std::string_view password,
                           std::string_view note);
const char* TextProblemText(TextProblem problem);

// Fills a whole record: time, owner, password, then note. Fails
// (InvalidArgument) for texts that CheckRecordTexts refuses, or when the
// system's random generator fails; the record may then hold partial fields.
Status EncodeRecord(RecordBytes& record, const Rijndael256& cipher, std::string_view owner,
                    std::string_view password, std::string_view note, FileTime created);

// Rewrites password and note, keeping time and owner (editing in place). The
// two always go together: enciphering the password spills onto the note's
// first bytes, which writing the note afterwards replaces.
Status EncodeSecrets(RecordBytes& record, const Rijndael256& cipher, std::string_view password,
                     std::string_view note);

// Deciphers all three texts and tests their check values. Corrupted (naming
// the field) when a text does not give its check value.
Result<RecordContents> DecodeRecord(const RecordBytes& record, const Rijndael256& cipher);

// SHA-256 of the deciphered password text (up to its first zero), without the
// check-value test: the key a chosen or associated password stands for.
Key256 RecordPasswordKey(const RecordBytes& record, const Rijndael256& cipher);

FileTime RecordTime(const RecordBytes& record);

// Little-endian helpers shared by the storage formats.
std::uint32_t LoadLe32(const std::uint8_t* p);
void StoreLe32(std::uint8_t* p, std::uint32_t v);
std::uint64_t LoadLe64(const std::uint8_t* p);
void StoreLe64(std::uint8_t* p, std::uint64_t v);

}  // namespace qvx::storage

// The armoured crypto-text block: the start and end lines, the header fields
// in front of the envelope, and finding blocks in a text. Nothing here knows
// passwords or keys; engine/cryptotext.h puts the pieces together.
//
// A block as written:
//   "\r\n--- Start Of QVX Crypto-Text ---\r\n"
//   the body, wrapped by WrapBase64Lines into 40-character lines
//   "\r\n\r\n--- End Of QVX Crypto-Text ---\r\n"
// The body is a concatenation of separately Base64-encoded fields, each with
// its own padding, so they sit at fixed character offsets:
//   0..11   "%08X" of DataChecksum over the whole compressed payload
//   12..19  "%04X" of the envelope mode (0 password, 1 RSA)
//   password envelope: 20..27 "%04X" of the key length 32 ("0020"), then from
//   28 the Base64 of the ciphertext; RSA envelope: from 20 the Base64 of the
//   RSA envelope (engine/rsa_envelope.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/armour.h"
#include "engine/hardened_block.h"
#include "platform/result.h"

namespace qvx {

// The armour lines: written forms carry an extra line break on the outer side,
// and the scan swallows a line break found there. The searched forms are the
// lines of a block as written; the scan itself reads the marker lines as
// engine/armour.h describes (quoted, indented, other line breaks).
inline constexpr std::string_view kCryptoStartWritten = "\r\n--- Start Of QVX Crypto-Text ---\r\n";
inline constexpr std::string_view kCryptoEndWritten = "\r\n\r\n--- End Of QVX Crypto-Text ---\r\n";
inline constexpr std::string_view kCryptoStartSearched = "--- Start Of QVX Crypto-Text ---\r\n";
inline constexpr std::string_view kCryptoEndSearched = "\r\n\r\n--- End Of QVX Crypto-Text ---";
inline constexpr ArmourMarkers kCryptoMarkers{"--- Start Of QVX Crypto-Text ---", "--- End Of QVX Crypto-Text ---"};

enum class EnvelopeMode : std::uint16_t { Password = 0, Rsa = 1 };

// Key length written into the password envelope's third field; readers skip it.
constexpr std::uint16_t kPasswordKeyLength = 32;

// Character offsets of the fields in an unwrapped body.
constexpr std::size_t kChecksumFieldChars = 12;
constexpr std::size_t kModeFieldChars = 8;
constexpr std::size_t kKeyLengthFieldChars = 8;
constexpr std::size_t kRsaEnvelopeOffset = kChecksumFieldChars + kModeFieldChars;                 // 20
constexpr std::size_t kPasswordEnvelopeOffset = kRsaEnvelopeOffset + kKeyLengthFieldChars;      // 28

// The unwrapped body: header fields followed by the Base64 of the envelope.
std::string FormatBody(std::uint32_t payload_checksum, EnvelopeMode mode,
                       const std::uint8_t* envelope, std::size_t envelope_size);

// A whole armoured block around an unwrapped body.
std::string ArmourBody(std::string_view body);

struct ParsedBody {
  // The payload checksum the header promises; empty when the field does not
  // read as eight hexadecimal digits (the payload check then fails).
  std::optional<std::uint32_t> payload_checksum;
  EnvelopeMode mode = EnvelopeMode::Password;
  std::vector<std::uint8_t> envelope;  // decoded envelope bytes
};

// Reads an unwrapped body. Errc::Corrupted when it is too short for its
// header, the mode field is not four hexadecimal digits in Base64, or the
// envelope is not Base64. Bit 0 of the mode chooses the envelope. The
// envelope is decoded like every field: up to its padding or the end of the
// body. The key length field is skipped.
Result<ParsedBody> ParseBody(std::string_view body);

// The two block formats: the compatible one above, which every installation
// reads, and the hardened one of engine/hardened_block.h. Their armour lines
// differ, so a text may hold both in any order.
enum class CryptoFormat { Compatible = 1, Hardened = 2 };

// True when the text holds a start line of either format (a whole line,
// possibly quoted or indented, with any line break): the text is then to be
// decrypted rather than encrypted. A marker inside other text on its line does
// not count.
bool ContainsCryptoText(std::string_view text);

// True when an end line of its format follows the first start line (of
// either format).
bool FirstBlockHasEnd(std::string_view text);

// Where one complete block lies in a text (offsets into the text); see
// ArmourSpan. For a block as written, the body range holds the wrapped body.
struct BlockSpan : ArmourSpan {
  CryptoFormat format = CryptoFormat::Compatible;
};

// The next complete block of either format at or after `from` (a line start):
// the first start line, and the first end line of its format after it. The
// block takes a line break just before its start line (LF, then CR, never
// before `from`) and one just after its end line (CR LF, CR or LF); a quoted
// block takes its quote prefixes with its lines. Empty when no start line
// follows, or no end line follows that start line.
std::optional<BlockSpan> FindNextBlock(std::string_view text, std::size_t from);

// The unwrapped body of a block found by FindNextBlock: its Base64 characters
// without line breaks, quote prefixes and blanks. Empty when the body holds
// anything else.
std::optional<std::string> ReadBlockBody(std::string_view text, const BlockSpan& span);

}  // namespace qvx

// The hardened crypto-text block (format 2): a salted, memory-hard password
// key (Argon2id) or one random content key wrapped with RSA-OAEP for any
// number of recipients, and the compressed text under AES-256-GCM with every
// header byte authenticated. docs/cryptotext-format-2.md describes the bytes;
// this file is the one implementation of that description.
//
// Nothing here asks questions or knows key files: the functions take keys,
// salts and nonces as values, so that known-answer vectors can fix them.
// engine/cryptotext.h draws the random values and asks the user.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/armour.h"
#include "engine/ppmd/ppmd.h"
#include "platform/result.h"
#include "platform/secure.h"

namespace qvx {

// The armour lines. Neither contains the format-1 marker texts, so a reader
// of format 1 sees a format-2 block as plain text.
inline constexpr ArmourMarkers kHardenedMarkers{"--- Start Of QVX Crypto-Text 2 ---",
                                                "--- End Of QVX Crypto-Text 2 ---"};
inline constexpr std::string_view kHardenedStartWritten = "\r\n--- Start Of QVX Crypto-Text 2 ---\r\n";
inline constexpr std::string_view kHardenedEndWritten = "\r\n\r\n--- End Of QVX Crypto-Text 2 ---\r\n";

inline constexpr std::array<std::uint8_t, 4> kHardenedMagic = {'Q', 'V', 'X', '2'};

enum class HardenedMode : std::uint8_t { Password = 1, Recipients = 2 };

// Argon2id cost, as stored in a password block.
struct Argon2Params {
  std::uint32_t memory_kib = 0;  // m: memory in KiB
  std::uint32_t passes = 0;      // t
  std::uint32_t lanes = 0;       // p (computed in one thread; the result does not depend on threads)

  friend bool operator==(const Argon2Params& a, const Argon2Params& b) {
    return a.memory_kib == b.memory_kib && a.passes == b.passes && a.lanes == b.lanes;
  }
};

// What new blocks use: 64 MiB (the most a 32-bit process can take safely
// beside the text), 4 lanes as RFC 9106 recommends, and the passes that make
// one derivation take about half a second on a current PC (bench/cryptotext2.cpp).
inline constexpr Argon2Params kDefaultArgon2{65536, 3, 4};

// The most a block may ask for; a header beyond any of these is refused before
// the password is asked or any memory is taken.
inline constexpr std::uint32_t kMaxArgon2MemoryKib = 65536;
inline constexpr std::uint32_t kMaxArgon2Passes = 16;
inline constexpr std::uint32_t kMaxArgon2Lanes = 16;

// True when the cost lies within the bounds above and Argon2's own rules
// (passes >= 1, lanes >= 1, memory >= 8 KiB per lane).
bool Argon2ParamsAcceptable(const Argon2Params& params);

inline constexpr std::size_t kSaltSize = 16;
inline constexpr std::size_t kNonceSize = 12;
inline constexpr std::size_t kTagSize = 16;
using Salt = std::array<std::uint8_t, kSaltSize>;
using Nonce = std::array<std::uint8_t, kNonceSize>;

// The KeyId of a recipient's key (keys/key_id.h), stored as is.
inline constexpr std::size_t kRecipientIdSize = 52;
using RecipientId = std::array<std::uint8_t, kRecipientIdSize>;

// One recipient: the key it is for and the content key wrapped with RSA-OAEP
// (SHA-256, MGF1-SHA-256, no label) under that key.
struct RecipientSlot {
  RecipientId key_id{};
  std::vector<std::uint8_t> wrapped;
};

// The recipients' keys as the user knows them: each KeyId's text form
// ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", as keys/key_id.h writes it), one
// per line.
std::string RecipientList(const std::vector<RecipientSlot>& recipients);

inline constexpr std::size_t kMaxRecipients = 256;
inline constexpr std::size_t kMinWrappedSize = 64;    // a 512-bit modulus
inline constexpr std::size_t kMaxWrappedSize = 2048;  // a 16384-bit modulus

// Everything in front of the ciphertext, all of it authenticated.
struct HardenedHeader {
  HardenedMode mode = HardenedMode::Password;
  Argon2Params kdf{};                  // password mode
  Salt salt{};                         // password mode
  std::vector<RecipientSlot> recipients;  // recipients mode
  Nonce nonce{};
};

// The header's bytes (the AEAD's associated data). Errc::InvalidArgument for
// a header a reader would refuse (cost out of bounds, no or too many
// recipients, a wrapped key of a size outside the bounds).
Result<std::vector<std::uint8_t>> EncodeHardenedHeader(const HardenedHeader& header);

struct ParsedHardened {
  HardenedHeader header;
  std::size_t header_size = 0;  // the associated data is bytes [0, header_size)
};

// Reads the header of a decoded block. Errc::Corrupted for a wrong magic,
// mode or reserved byte, a truncated header, or a block too short to hold the
// tag; Errc::Unsupported (with KdfCostRefused) for a cost out of bounds.
Result<ParsedHardened> ParseHardenedHeader(const std::uint8_t* block, std::size_t size);

// The size the inner plaintext (4 + stream length) is padded to: at least 256
// bytes, and above that Padme's rounding: with E = floor(log2 length) and
// S = floor(log2 E), the length rounded up to a multiple of 2^(E - S - 1), so
// padding costs at most about 12 % and a length gives away O(log log n) bits. nullopt when the result would not fit 32 bits.
std::optional<std::size_t> PaddedInnerSize(std::size_t size);

// The inner plaintext of a text: its PPMd stream's length (32-bit little
// endian), the stream, and zeros up to PaddedInnerSize. Errc::OutOfMemory from
// the codec; Errc::InvalidArgument for a text too long for the format.
Result<SecureBytes> MakeInnerPlaintext(std::string_view text);

// The text back from an inner plaintext. Errc::Corrupted for a length field
// beyond the data, non-zero padding, or a stream that does not decode to at
// most max_text bytes; Errc::OutOfMemory; Errc::Cancelled from progress.
Result<SecureString> ReadInnerPlaintext(const SecureBytes& inner, std::size_t max_text,
                                        ppmd::DecodeProgress* progress = nullptr);

// Argon2id over the password key (the password's SHA-256, engine/password_key.h)
// with the salt; 32 bytes. Errc::InvalidArgument for a cost out of bounds;
// Errc::OutOfMemory or Errc::Crypto from the library.
Result<Key256> DeriveHardenedKey(const Key256& password_key, const Salt& salt, const Argon2Params& params);

// AES-256-GCM with the header as associated data: ciphertext then tag.
Result<std::vector<std::uint8_t>> SealInner(const Key256& key, const std::vector<std::uint8_t>& header,
                                            const Nonce& nonce, const SecureBytes& inner);
// Its inverse over a whole decoded block. Errc::WrongPassword for a tag that
// does not match (wrong key or changed bytes: they cannot be told apart);
// nothing is deciphered then.
Result<SecureBytes> OpenInner(const Key256& key, const std::uint8_t* block, std::size_t size,
                              const ParsedHardened& parsed);

// The whole armoured block around the block's bytes.
std::string ArmourHardened(const std::vector<std::uint8_t>& block);

// A whole password block from fixed inputs (known-answer vectors; the engine
// passes fresh random ones).
Result<std::string> SealHardenedPasswordText(std::string_view text, const Key256& password_key,
                                             const Salt& salt, const Nonce& nonce,
                                             const Argon2Params& params = kDefaultArgon2);
// A whole recipients block from a content key and its wrapped copies.
Result<std::string> SealHardenedRecipientsText(std::string_view text, const Key256& content_key,
                                               std::vector<RecipientSlot> recipients, const Nonce& nonce);

}  // namespace qvx

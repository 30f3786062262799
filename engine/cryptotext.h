// Encrypting a whole text into one crypto-text block, and decrypting every
// block found in a text. One CryptoTextOperation serves one text operation of
// the user (one encrypt/decrypt command): it holds that operation's password
// key and its "common password" state, and wipes the key when it goes away.
//
// The operation shows nothing itself: what the user is to be told comes back
// by string id, in the order of the boxes, in DecryptedText::notices or in the
// Error's messages:
//   a start line with no end line after it: CryptoEndNotFound (a notice; the
//     text is given back unchanged);
//   a payload that fails its checks under the key (length field, payload
//     checksum, decompression and the text's own checksum):
//     WrongPasswordOrBadData, then DecryptionError;
//   any other failed block (bad Base64, unreadable mode field, missing RSA
//     handler, an RSA handler's failure after the handler's own messages, a
//     later password prompt cancelled): DecryptionError;
//   the first password prompt or a progress display cancelled: nothing.
// A progress display (with Cancel) is shown for long envelopes, and for a
// block's text once its decoding has passed kDecodeProgressAfter bytes.
// Encryption adds no message of its own (an RSA handler's failure carries the
// handler's).
//
// Hardened blocks (format 2) are read in the same pass, in any mix with the
// others, and fail with:
//   a header that is not format 2's, or an inner text that does not decode:
//     HardenedBlockDamaged, then DecryptionError;
//   a key-derivation cost beyond the bounds: HardenedKdfCostRefused, then
//     DecryptionError (before the password is asked);
//   a tag that does not match: HardenedWrongPasswordOrChanged (password) or
//     HardenedTextChanged (recipients), then DecryptionError;
//   none of the recipients' keys held: HardenedNoRecipientKey with their
//     KeyIds, then DecryptionError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cryptotext_block.h"
#include "engine/prompts.h"
#include "engine/recipient_keys.h"
#include "engine/rsa_envelope.h"
#include "platform/result.h"
#include "platform/secure.h"
#include "platform/ui.h"

namespace qvx {

// Decoding a block's text shows the progress display from this size on.
constexpr std::size_t kDecodeProgressAfter = std::size_t{4} << 20;

// The most decrypted text the tray takes from one text (all its blocks
// together): far beyond any honest message, and still small enough for the
// viewer and the clipboard of a 32-bit program.
constexpr std::size_t kTrayMaxDecryptedText = std::size_t{64} << 20;

// Bounds of one DecryptAllBlocks call. A block holds compressed text, and a
// few kilobytes of it can decode to gigabytes; decoding stops at the bound.
struct DecryptLimits {
  // Bytes of plaintext of all blocks of the text together.
  std::size_t max_text = kTrayMaxDecryptedText;
};

struct DecryptedText {
  // The text with every complete block replaced by its plaintext; the text
  // around the blocks is kept byte for byte, each block having taken one line
  // break on either side with it. Blocks are found as engine/armour.h reads
  // them: a quoted, indented or re-wrapped block is replaced whole (its marker
  // and body lines with their quote prefixes) by its plaintext exactly as it
  // was encrypted; the plaintext's lines are not given the quote prefix. So
  // "> a\r\n> <block lines>\r\n> b" becomes "> a" + plaintext + "> b", just
  // as "a\r\n<block>\r\nb" becomes "a" + plaintext + "b".
  SecureString text;
  std::size_t blocks = 0;  // blocks decrypted
  // The first start line has no end line after it: text is the input
  // unchanged, and notices holds CryptoEndNotFound.
  bool end_line_missing = false;
  // Messages for the user about a text that did not fail, in order.
  std::vector<Notice> notices;
};

class CryptoTextOperation {
 public:
  // progress, rsa and recipients may be null: no progress display; RSA
  // blocks (of the format concerned) fail like damaged blocks and RSA
  // encryption is refused. The references must outlive the operation.
  CryptoTextOperation(PasswordPrompt& passwords, ProgressUi* progress = nullptr,
                      RsaEnvelopeHandler* rsa = nullptr, RecipientKeys* recipients = nullptr);
  CryptoTextOperation(const CryptoTextOperation&) = delete;
  CryptoTextOperation& operator=(const CryptoTextOperation&) = delete;
  ~CryptoTextOperation();

  // The whole text as one armoured block (any text, the empty one included).
  // Password mode asks for the password (with confirmation) before the work.
  // Errors: Errc::Cancelled when the prompt, the RSA recipient choice or the
  // progress display was cancelled (no block is made); the prompt's or the
  // RSA handler's own errors; Errc::Unsupported for RSA without a handler;
  // Errc::OutOfMemory, Errc::InvalidArgument (too large) from compression.
  // The hardened format draws a fresh salt, nonce and content key for the
  // block and takes its RSA recipients from RecipientKeys::Wrap.
  Result<std::string> EncryptText(std::string_view text, EnvelopeMode mode = EnvelopeMode::Password,
                                  CryptoFormat format = CryptoFormat::Compatible);

  // Every complete block of the text replaced by its plaintext. One failed
  // block fails the whole text (nothing partial comes back). The first
  // password block always asks, with the common-password box checked; while
  // the box stays checked later blocks reuse that key, otherwise each asks.
  // Errors (carrying the messages listed above): Errc::Cancelled;
  // Errc::WrongPassword when the payload fails its checks and the key looks
  // wrong; Errc::Corrupted when the key deciphers the payload's frame
  // correctly but the data inside is damaged, or the block is malformed;
  // Errc::Unsupported for an RSA block without a handler; the prompt's or the
  // handler's own errors. Error details name the block ("block 2: ...").
  // Blocks whose plaintexts together pass limits.max_text fail as damaged
  // (Errc::Corrupted, WrongPasswordOrBadData then DecryptionError) without
  // taking memory for more than that; the detail names the limit.
  Result<DecryptedText> DecryptAllBlocks(std::string_view text, DecryptLimits limits = {});

  // The Argon2id cost of new hardened password blocks (kDefaultArgon2 unless
  // set; tests and benchmarks take a cheaper or dearer one). Must satisfy
  // Argon2ParamsAcceptable, or encryption fails with Errc::InvalidArgument.
  void set_hardened_cost(const Argon2Params& cost) { hardened_cost_ = cost; }

 private:
  // quiet is set when the failure must not carry DecryptionError (the user
  // cancelled).
  // body: the block's Base64 characters (ReadBlockBody).
  // max_text: the most plaintext this block may hold.
  Result<SecureString> DecryptBody(std::string_view body, std::size_t number, std::size_t max_text,
                                   bool& quiet);
  Result<SecureString> DecryptHardenedBody(std::string_view body, std::size_t number, std::size_t max_text,
                                           bool& quiet);
  Result<std::string> EncryptHardened(std::string_view text, EnvelopeMode mode);
  Result<SecureBytes> OpenPasswordBlock(const std::vector<std::uint8_t>& envelope,
                                           std::size_t number, bool& quiet);
  Result<Key256> DecryptionKey(std::size_t number, bool& quiet);
  // rsa: the payload came out of an RSA envelope; every check it fails then
  // gives UndecryptableRsaEnvelope.
  Result<SecureString> OpenPayload(const SecureBytes& padded, std::optional<std::uint32_t> checksum,
                                   std::size_t number, std::size_t max_text, bool rsa, bool& quiet);

  PasswordPrompt& passwords_;
  ProgressUi* progress_;
  RsaEnvelopeHandler* rsa_;
  RecipientKeys* recipients_;
  Argon2Params hardened_cost_ = kDefaultArgon2;
  Key256 password_key_;
  bool use_common_password_ = true;
  bool prompt_pending_ = true;
};

}  // namespace qvx

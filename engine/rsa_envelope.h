// The seam between the crypto-text block and the RSA envelope. A block whose
// mode field is 1 carries, from character 20 of its body, the Base64 of an RSA
// envelope instead of the password envelope. The block code owns everything
// around the envelope: the compressed payload, the header fields, Base64, the
// armour and the checks of the payload after it comes out of the envelope. An
// RsaEnvelopeHandler owns the envelope bytes themselves: choosing the
// recipient, the session key, the key store, and their own messages.
//
// Envelope layout (integers little-endian 32-bit), for implementers:
//   0       4   DataChecksum over bytes 4..59
//   4       4   k, length of the RSA-encrypted session key
//   8      52   the recipient key's KeyId
//   60      k   32-byte session key, RSA PKCS #1 v1.5 encrypted
//   60+k  32*n  the payload zero-padded to n = EnvelopeBlocks(L) blocks
//               (engine/envelope.h), enciphered block by block with
//               Rijndael256 under the session key
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/result.h"
#include "platform/secure.h"
#include "platform/ui.h"

namespace qvx {

// The one failure of an envelope that the loaded private key does not open,
// whatever the cause: a session key whose padding is wrong, a session key of
// the wrong length, or a payload that fails its checks under the session key.
// Telling these apart would let anyone who can submit blocks (to an unattended
// qvx, or a key opened through a stored password) learn whether a crafted
// session key had valid PKCS #1 v1.5 padding, a padding oracle. Handlers and
// the block code both answer with exactly this error: same code, messages and
// detail.
inline Error UndecryptableRsaEnvelope() {
  return MakeError(Errc::WrongPassword, Msg::WrongPasswordOrBadData, BoxKind::Plain, {},
                   "the block does not decrypt with this private key (encrypted to another key, or damaged)");
}

// What the block code lends a handler for one call.
// A handler's failure carries its own messages in the Error ("Crypted message
// header corrupted!", "Can not find key to decrypt message!", ...); the block
// code adds "Decryption error!" after those of a failed Decrypt.
struct EnvelopeContext {
  // Progress display for envelopes of more than kProgressBlockThreshold
  // blocks, or null. CipherBlocks (engine/envelope.h) does the display and the
  // Cancel check after every block.
  ProgressUi* progress = nullptr;
};

// Implemented by the key store; the caller of the crypto-text operation passes
// one in (or none, and RSA blocks then fail like damaged blocks). The handler
// asks its own questions (recipient choice, private-key password) through
// interfaces given to it when it is made; the password key of the text
// operation is not shared with it.
class RsaEnvelopeHandler {
 public:
  virtual ~RsaEnvelopeHandler() = default;

  // Seals a CompressedPayload (all L bytes of it, header included) and returns
  // the whole envelope as raw bytes; the block code Base64-encodes it.
  // Errors: Errc::Cancelled when the user cancelled the recipient choice or
  // the progress display (no block is made and no message is shown); any other
  // code after the handler has shown its own message (the block code shows
  // nothing more on encryption).
  virtual Result<std::vector<std::uint8_t>> Encrypt(const SecureBytes& payload,
                                                    const EnvelopeContext& context) = 0;

  // Opens an envelope given as the bytes its Base64 decoded to (the block code
  // has already checked the Base64) and returns the deciphered payload with
  // its zero padding: every whole 32-byte block after offset 60 + k,
  // deciphered. The block code then checks the payload's length field against
  // the returned size, the payload checksum and the text inside it, and
  // reports those failures itself (as UndecryptableRsaEnvelope). Errors:
  // Errc::Cancelled when the user cancelled (the whole text stays as it was,
  // no message follows); UndecryptableRsaEnvelope for any failure once the
  // private key has loaded; any other code fails the block, and "Decryption error!" follows whatever message the
  // handler showed.
  virtual Result<SecureBytes> Decrypt(const std::uint8_t* envelope, std::size_t size,
                                      const EnvelopeContext& context) = 0;
};

}  // namespace qvx

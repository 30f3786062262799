// Signed texts. The signature block is appended to the text as it was:
//   "\r\n--- Start Of QVX Signature Part---\r\n"
//   Base64 of the signature blob in 40-character lines, each after a CR LF
//   "\r\n\r\n--- End Of QVX Signature Part---"   (no line break after it)
// Signature blob (integers 32-bit little-endian):
//   0   4  0
//   4   4  total length = 60 + signature length
//   8  52  KeyId of the signing key
//  60   k  PKCS #1 v1.5 type 1 "private encrypt" of SHA-256 over the text bytes
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "keys/key_id.h"
#include "keys/key_store.h"
#include "keys/protection.h"
#include "keys/rsa_key.h"
#include "platform/result.h"
#include "platform/ui.h"

namespace qvx {

inline constexpr std::string_view kSignatureStartLine = "\r\n--- Start Of QVX Signature Part---\r\n";
inline constexpr std::string_view kSignatureEndLine = "\r\n\r\n--- End Of QVX Signature Part---";
// What a reader searches for (the start without its leading line break).
inline constexpr std::string_view kSignatureStartMarker = "--- Start Of QVX Signature Part---\r\n";
inline constexpr std::string_view kSignatureEndMarker = kSignatureEndLine;

constexpr std::size_t kSignatureBlobHeaderSize = 60;

Result<Bytes> MakeSignatureBlob(std::string_view text, const KeyId& signer, const RsaKey& private_key);

// True when the blob's signature recovers to SHA-256 of the text under the key.
bool CheckSignatureBlob(std::string_view text, const std::uint8_t* blob, std::size_t size,
                        const RsaKey& public_key);

// The text followed by the signature block of the blob.
std::string AppendSignatureBlock(std::string_view text, const Bytes& blob);

struct SignatureBlock {
  std::size_t signed_length = 0;  // the signed text is the input's first signed_length bytes
  Bytes blob;
  KeyId signer;
};

// Finds the first signature block of a text and decodes its blob. Shows
// "Start of the signature message is not found!" or "End of the signature
// message is not found!" (NotFound), or "Verification is FAILED" for a body
// that does not decode to a well-formed blob (Corrupted).
Result<SignatureBlock> ReadSignatureBlock(std::string_view text, MessageSink& messages);

// Signs a text with a private key of the store and gives the signed text.
// Messages: "Key is not found!", the private key's load failure, "Sign error!".
Result<std::string> SignText(std::string_view text, const KeyStore& store,
                             const std::string& private_path, ProtectionKeySource& keys,
                             MessageSink& messages);

struct VerifiedSignature {
  KeyFileHeader signer;  // from the stored public key file, not from the text
  std::string public_path;
  std::size_t signed_length = 0;
};

// Verifies the first signature block of a text against the signer's stored
// public key. Messages as ReadSignatureBlock, then "Can not find key to decrypt
// message!" (NotFound), the public key's load failure with "Error open privat
// file!", or "Verification is FAILED" (Corrupted). Success shows nothing: the
// caller shows the signer.
Result<VerifiedSignature> VerifySignedText(std::string_view text, const KeyStore& store,
                                           MessageSink& messages);

}  // namespace qvx

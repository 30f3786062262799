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
#include <vector>

#include "engine/armour.h"
#include "keys/key_id.h"
#include "keys/key_store.h"
#include "keys/protection.h"
#include "keys/rsa_key.h"
#include "platform/result.h"

namespace qvx {

inline constexpr std::string_view kSignatureStartLine = "\r\n--- Start Of QVX Signature Part---\r\n";
inline constexpr std::string_view kSignatureEndLine = "\r\n\r\n--- End Of QVX Signature Part---";
// What a reader searches for (the start without its leading line break).
inline constexpr std::string_view kSignatureStartMarker = "--- Start Of QVX Signature Part---\r\n";
inline constexpr std::string_view kSignatureEndMarker = kSignatureEndLine;
// The marker lines as the reader finds them (engine/armour.h): whole lines,
// possibly quoted or indented, with any line break.
inline constexpr ArmourMarkers kSignatureMarkers{"--- Start Of QVX Signature Part---",
                                                 "--- End Of QVX Signature Part---"};

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
  ArmourSpan span;  // where the block's lines stand in the text
};

// Finds the first signature block of a text and decodes its blob. The block
// may have been quoted, indented, re-wrapped or given other line breaks and
// added blanks (engine/armour.h); its blob must still be exactly a header and
// one signature as written. A failure carries "Start of the signature message
// is not found!" or "End of the signature message is not found!" (NotFound),
// or "Verification is FAILED" for a body that does not decode to a
// well-formed blob (Corrupted).
Result<SignatureBlock> ReadSignatureBlock(std::string_view text);

// What verification undid to find the text as it was signed.
enum SignedTextChange : unsigned {
  kSignedTextAsFound = 0,
  kQuotePrefixRemoved = 1,  // every line carried the same quote prefix or indentation
  kCrLfRestored = 2,        // every CR LF had become LF alone (or CR alone)
};

// One form of the signed text that verification compares with the signature.
struct SignedTextForm {
  std::string text;
  unsigned changes = kSignedTextAsFound;  // SignedTextChange flags
};

// The forms of the signed text that a signature is checked against, in this
// order; the signature holds when it matches any of them. The signature covers
// the exact bytes that stood before the block when it was made, so only the
// damage that mail programs do to a whole text is undone, and only when the
// whole text up to the block's end line shows it:
//  1. as found: the text before the block's start line, less one line break
//     just before it (signed_length bytes);
//  2. quote prefix removed: only when the start line has a prefix P (the
//     characters before its marker: '>', blanks, tabs, 0xA0) and every line
//     from the text's first to the block's end line (lines end at CR LF, CR or
//     LF) begins with P, or is exactly P without its trailing blanks (a quoted
//     empty line whose blank was dropped). Each line of form 1 loses P (such
//     a line becomes empty); the line breaks stay as they are;
//  3. form 1, then form 2, with CR LF restored: only when the text from its
//     beginning to the end of the block's end line holds no CR at all (every
//     LF becomes CR LF) or no LF at all (every CR becomes CR LF).
// Forms equal to an earlier one are left out. Nothing else is normalised:
// trailing blanks, re-wrapped or re-indented lines, different prefixes on
// different lines, mixed line breaks, and any changed, added or removed
// character of the signed text make every form differ from what was signed.
std::vector<SignedTextForm> SignedTextForms(std::string_view text, const SignatureBlock& block);

// Signs a text with a private key of the store and gives the signed text.
// Messages carried by a failure: "Key is not found!", the private key's load
// failure (keys/messages.h), "Sign error!".
Result<std::string> SignText(std::string_view text, const KeyStore& store,
                             const std::string& private_path, ProtectionKeySource& keys);

// What stands after a signature block's end line. The signature covers only
// the text before the block, so anything here is not covered by it.
enum class TextAfterSignature {
  kNothing,    // nothing, or only line breaks, blanks and quote prefixes
  kText,       // other text
  kSignature,  // text that holds the start line of another signature block
};

// What follows the block in the text it was read from (the block must come
// from ReadSignatureBlock of that text).
TextAfterSignature TextAfterBlock(std::string_view text, const SignatureBlock& block);

struct VerifiedSignature {
  KeyFileHeader signer;  // from the stored public key file, not from the text
  std::string public_path;
  std::size_t signed_length = 0;  // the signed text as found: the input's first bytes
  // The form of the signed text that matched (SignedTextForms): the bytes the
  // signature covers, and what was undone to get them.
  SignedTextForm signed_text;
  TextAfterSignature after = TextAfterSignature::kNothing;
  // Warnings about the signer's key: one under 2048 bits.
  std::vector<Notice> notices;
};

// What the user is told besides the signer, in this order: that the quote
// prefix was removed, that CR LF was restored (plain notices, each only when
// that form matched), and that text or another signature block follows the
// block (a warning).
std::vector<Notice> VerificationNotes(const VerifiedSignature& verified);

// Verifies the first signature block of a text against the signer's stored
// public key, trying the forms of the signed text that SignedTextForms gives.
// Messages carried by a failure: those of ReadSignatureBlock, "Can not find
// key to decrypt message!" (NotFound), the public key's load failure followed
// by "Error open privat file!", or "Verification is FAILED" (Corrupted).
// Success carries the signer's key warnings in notices; the caller shows the
// signer, the signed text as it matched and the VerificationNotes.
Result<VerifiedSignature> VerifySignedText(std::string_view text, const KeyStore& store);

}  // namespace qvx

// Public keys as text. A public key block is a whole public key file, Base64
// in 40-character lines, between two armour lines:
//   "\r\n--- Start Of QVX Public Key Part---\r\n" body
//   "\r\n\r\n--- End Of QVX Public Key Part---\r\n"
// Reading one stores the decoded file in the store's public folder under the
// name made from the owner and id inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/armour.h"
#include "keys/key_identity.h"
#include "keys/key_store.h"
#include "platform/result.h"
#include "platform/ui.h"

namespace qvx {

inline constexpr std::string_view kPublicKeyStartLine = "\r\n--- Start Of QVX Public Key Part---\r\n";
inline constexpr std::string_view kPublicKeyEndLine = "\r\n\r\n--- End Of QVX Public Key Part---\r\n";
inline constexpr std::string_view kPublicKeyStartMarker = "--- Start Of QVX Public Key Part---\r\n";
inline constexpr std::string_view kPublicKeyEndMarker = kPublicKeyEndLine;
// The marker lines as the reader finds them (engine/armour.h): whole lines,
// possibly quoted or indented, with any line break or none at the text's end.
inline constexpr ArmourMarkers kPublicKeyMarkers{"--- Start Of QVX Public Key Part---",
                                                 "--- End Of QVX Public Key Part---"};

// The block of a public key file's bytes.
std::string MakePublicKeyBlock(const std::uint8_t* file, std::size_t size);

// The block of a public key file in the store, which must load as a valid
// public key; otherwise the failure carries "Key load error!".
Result<std::string> MakePublicKeyBlockFromFile(const KeyStore& store, const std::string& public_path);

// The block of one of the user's own keys, given by its private key file: the
// pair's public key file must load and hold the same id, n and e as the
// private file (checked without deciphering it), so that a public file
// replaced by another key is never handed out as the user's. Failures carry
// "Key load error!" when a file cannot be read or fails its checks, "The
// public key file of this key pair does not belong to its private key
// file..." (Corrupted) when they are two different keys.
Result<std::string> MakeMyPublicKeyBlock(const KeyStore& store, const std::string& private_path);

struct PublicKeyBlock {
  Bytes file;  // the decoded public key file, byte for byte
  KeyFileHeader header;
  RsaPublicNumbers numbers;  // the key it carries
  std::string file_name;  // "<owner>-pub{id}.qvx"
};

// Finds the first public key block of a text and checks what it carries: a
// public key file that passes every check of the key store, whose owner can
// stand in a file name and matches the owner recorded in its id. The block may
// have been quoted, indented, re-wrapped or given other line breaks and added
// blanks (engine/armour.h); what it decodes to must pass the same checks.
// The failure carries its message: "Start of the open key is not found!",
// "End of the public key in not found!" (NotFound), "Public key file is
// corrupted!" (Corrupted), or CheckImportedText's for an owner or note with
// control characters (Corrupted).
Result<PublicKeyBlock> ReadPublicKeyBlock(std::string_view text);

enum class PublicKeyImportOutcome { Stored, Replaced, KeptExisting };

struct ImportedPublicKey {
  PublicKeyImportOutcome outcome = PublicKeyImportOutcome::Stored;
  std::string path;
  KeyFileHeader header;
};

// Reads the first public key block of a text into the store's public folder.
// The store's key of the same id decides (keys/key_identity.h): the same key
// in an existing file is replaced only after "This public key is exists.
// Overwrite it?" is confirmed; a different key over another person's key only
// after the warning that shows both fingerprints is answered Yes; a different
// key over one of the user's own pairs is refused (AlreadyExists, "This key
// carries the id of one of your own key pairs...") and nothing is written.
// Declining keeps the stored file and still succeeds (KeptExisting). A write
// failure carries "Public key creation error!", a block that fails its checks
// the messages of ReadPublicKeyBlock (and nothing is written). The questions
// are the only things asked through `messages`.
Result<ImportedPublicKey> ImportPublicKeyBlock(std::string_view text, const KeyStore& store,
                                               MessageSink& messages);

struct KeyFileInfo {
  KeyFileHeader header;
  bool mine = false;  // the store holds the private key of this id
  // The key's fingerprint (keys/key_identity.h); nullopt when the file does
  // not pass the key file checks.
  std::optional<KeyFingerprint> fingerprint;
};

// A key file given by path (for example as the program's argument), read for
// display: the name must end in ".qvx" (any case) and the file must hold a
// header; otherwise the failure carries "Key load error!". The file is not
// copied or imported; it is checked only for its fingerprint.
Result<KeyFileInfo> ReadKeyFileForDisplay(const std::string& path, const KeyStore& store);

}  // namespace qvx

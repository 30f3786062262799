// Key transport files (".qvxt"): a public key file, or both files of one of
// the user's own pairs, carried to another computer. Integers are 32-bit
// little-endian.
//   entry (272 bytes): content (1 = public only, 0 = public and private),
//                      size of the key file, DataChecksum of its plain bytes,
//                      260 bytes "\" + file name, NUL-terminated
//   entry 1, the public key file as is
//   content 0 only: entry 2 (content 0), then the private key file enciphered
//   with Rijndael-256 (ECB) under the transport key, stored as
//   (size + 32) rounded down to a multiple of 32 bytes; when the size is itself
//   a multiple of 32 an unenciphered block of zeros ends the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "keys/key_store.h"
#include "platform/result.h"
#include "platform/secure.h"
#include "platform/ui.h"

namespace qvx {

constexpr std::size_t kTransportEntrySize = 272;
constexpr std::size_t kTransportNameField = 260;
// Largest key file an entry may carry; key files are a few KB, so a larger
// size is damage (and a size near 4 GiB would wrap in 32-bit arithmetic).
constexpr std::size_t kMaxTransportKeyFileSize = 64 * 1024;

enum class TransportContent : std::uint32_t { PublicAndPrivate = 0, PublicOnly = 1 };

// Asked for the transport key (SHA-256 of the transport password) when a
// private key file is to be enciphered or deciphered; nullopt means cancelled.
using TransportKeyQuestion = std::function<std::optional<Key256>()>;

// The transport file of the key whose public key file is given; with
// PublicAndPrivate the pair's private file goes in too, enciphered under the
// key `ask` gives (asked once the key files have been read and checked).
// Both key files must pass the store's checks and belong together.
Result<Bytes> MakeTransportFile(const KeyStore& store, const std::string& public_path,
                                TransportContent content, const TransportKeyQuestion& ask);

// MakeTransportFile, written atomically to `target`. The failure carries "Key
// load error!" when a key file cannot be read or fails its checks, and "The
// transport file could not be written:" with the target and the reason when
// the file cannot be written; nothing is written, and nothing is to be shown,
// when the transport key question is cancelled.
Status ExportKeyTransportFile(const KeyStore& store, const std::string& public_path,
                              TransportContent content, const std::string& target,
                              const TransportKeyQuestion& ask);

// A transport file whose structure and public part have been checked.
struct TransportFile {
  TransportContent content = TransportContent::PublicOnly;
  KeyFileHeader header;      // of the public key file
  Bytes public_file;         // byte for byte
  std::string public_name;   // "<owner>-pub{id}.qvx"
  std::string private_name;  // "<owner>-priv{id}.qvx" (PublicAndPrivate only)
  RsaPublicNumbers numbers;  // the carried key's
  std::uint32_t private_size = 0;
  std::uint32_t private_checksum = 0;
  Bytes private_run;  // the stored, enciphered run
};

// Checks every entry against the file: content values, sizes of at most
// kMaxTransportKeyFileSize that fit what is left (and nothing after the last
// piece), names that are exactly the key
// file names the public key's owner and id give (so no path can leave the key
// folders), the public part's checksum, and the public key file itself.
// Corrupted on any failure; a key whose owner or note holds control
// characters fails CheckImportedText (with its message).
Result<TransportFile> ParseTransportFile(const std::uint8_t* data, std::size_t size);

// Deciphers the private key file. WrongPassword when its checksum fails under
// the key; Corrupted when the run does not have the stored length of
// private_size, or when it deciphers but is not the private file of the
// carried public key (same id, n and e).
Result<SecureBytes> DecipherTransportPrivate(const TransportFile& file, const Key256& key);

struct TransportImport {
  KeyFileHeader header;
  std::string public_path;
  std::string private_path;  // empty when only a public key was carried
};

// Imports a transport file into the store. A file that cannot be read ("The
// transport file could not be read:" with the path and the reason) or is
// damaged ("Transport file is corrupted!") or carries a key that fails
// CheckImportedText (its message alone) writes nothing. Before anything is
// written the carried key is compared with the store's key of its id
// (keys/key_identity.h): a different key over one of the user's own pairs is
// refused (AlreadyExists, "This key carries the id of one of your own key
// pairs...", so an existing private file is never overwritten with another
// key), and a different key over another person's key is written only after
// the warning with both fingerprints is answered Yes through `messages`
// (declining is Cancelled, without a message). The same key or a new one
// goes in as before: the public key file is written first (replacing a file
// of that name); then, for a pair, the transport key is asked and the private
// file written. When that fails, by "Wrong password or bad data!"
// (WrongPassword), a cancelled question (Cancelled) or a damaged private part
// (Corrupted), the public key stays imported and lists as "Other key". Write
// failures carry "Public key creation error!". Every file is written whole or
// not at all. The failure carries these messages; a cancelled question none.
Result<TransportImport> ImportKeyTransportFile(const KeyStore& store, const std::string& source,
                                               const TransportKeyQuestion& ask, MessageSink& messages);

}  // namespace qvx

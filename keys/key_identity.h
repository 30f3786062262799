// What makes a key the same key: its public numbers. A KeyId is public (every
// key block, signature and envelope shows it), so a file carrying a known id
// proves nothing by itself; before a key file of a known id is written, its
// numbers are compared with the stored key's, and users compare fingerprints
// out of band.
//
// Fingerprint: SHA-256 over the public numbers serialised as
//   4-byte big-endian length of n, n (big-endian, no leading zero bytes),
//   4-byte big-endian length of e, e (likewise),
// shown as 64 upper-case hex digits in 16 groups of 4 separated by spaces.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "keys/key_id.h"
#include "keys/key_store.h"
#include "keys/rsa_key.h"
#include "platform/result.h"

namespace qvx {

using KeyFingerprint = std::array<std::uint8_t, 32>;

KeyFingerprint FingerprintOf(const RsaPublicNumbers& numbers);
// The key's public numbers' fingerprint; fails only when the key holds none.
Result<KeyFingerprint> FingerprintOf(const RsaKey& key);

// "0123 4567 89AB ..." (79 characters). groups_per_line > 0 breaks the text
// into lines of that many groups ("\n" between them) for narrow windows.
std::string FormatFingerprint(const KeyFingerprint& fingerprint, std::size_t groups_per_line = 0);

// The fingerprint of a key file as it is stored (public or private file,
// fully checked, nothing deciphered); nullopt when the file does not pass its
// checks, so no fingerprint is ever shown for a file that is not a sound key.
std::optional<KeyFingerprint> FingerprintOfKeyFile(const Bytes& file);
// The same for a file of the store.
std::optional<KeyFingerprint> FingerprintOfKeyFile(const KeyStore& store, const std::string& path);

// Keys shorter than this are still used, with a warning each time text is
// encrypted to one or a signature of one is verified.
constexpr unsigned kWarnBelowModulusBits = 2048;

// The warning for a short key (`message` names the operation, its "%s" the
// key's owner); nullopt for a key of kWarnBelowModulusBits or more.
std::optional<Notice> ShortKeyNotice(const RsaKey& key, const KeyFileHeader& header, Msg message);

// How a key about to be stored relates to what the store holds under its id.
enum class IncomingKeyKind {
  New,            // nothing stored under this id
  Same,           // stored with the same n and e
  ReplacesMine,   // a different key over one of the user's own pairs
  ReplacesOther,  // a different key over another person's public key
};

struct IncomingKey {
  IncomingKeyKind kind = IncomingKeyKind::New;
  std::string stored_path;         // the stored file compared with (empty for New)
  std::optional<KeyFingerprint> stored_fingerprint;  // its fingerprint; nullopt when it does not load
};

// Compares a key about to be stored under its header's id and owner with the
// store's files of that id, or failing those, the files at the names it would
// be written to. The private file decides when there is one: an unreadable or
// damaged private file counts as a different key (it must never be
// overwritten on a guess). A damaged public file of another person counts as
// ReplacesOther.
IncomingKey ClassifyIncomingKey(const KeyStore& store, const KeyFileHeader& header,
                                const RsaPublicNumbers& incoming);

// The failure for a different key over one of the user's own pairs (nothing
// written): "...already holds a key pair of yours with this id..." with the
// two fingerprints.
Error ReplacesMyKeyError(const IncomingKey& stored, const KeyFingerprint& incoming);

// The "%s" of the warning before another person's key is replaced (and of the
// refusal over one of the user's pairs): the stored key's fingerprint, then
// the new one's, each as two lines of eight groups with a blank line between
// them, so that a message box never wraps one into the other ("?" for a
// stored file that does not load).
std::string FingerprintPair(const IncomingKey& stored, const KeyFingerprint& incoming);

}  // namespace qvx

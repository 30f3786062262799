// Fingerprints and the comparison of a key about to be stored with the key the
// store holds under the same id.
#include "keys/key_identity.h"

#include "engine/sha256.h"
#include "keys/key_file.h"

namespace qvx {

namespace {

void AddNumber(Sha256& hash, const Bytes& number) {
  const auto size = static_cast<std::uint32_t>(number.size());
  const std::uint8_t length[4] = {static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
                                  static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)};
  hash.Update(length, sizeof length);
  hash.Update(number.data(), number.size());
}

// The public numbers of a stored key file of either kind, fully checked.
std::optional<RsaPublicNumbers> StoredNumbers(const Bytes& file) {
  if (file.size() < kKeyFileNumbersOffset) return std::nullopt;
  auto header = ReadKeyFileHeader(file.data(), file.size());
  if (!header) return std::nullopt;
  std::optional<RsaPublicNumbers> out;
  if (header->IsPublicFile()) {
    if (auto decoded = DecodePublicKeyFile(file.data(), file.size())) {
      if (auto numbers = decoded->key.PublicNumbers()) out = std::move(*numbers);
    }
  } else if (auto image = PrivateKeyFileImage::Parse(file.data(), file.size())) {
    if (auto numbers = image->public_key().PublicNumbers()) out = std::move(*numbers);
  }
  return out;
}

std::optional<RsaPublicNumbers> StoredNumbers(const KeyStore& store, const std::string& path) {
  auto bytes = store.files().ReadFile(path);
  if (!bytes) return std::nullopt;
  auto numbers = StoredNumbers(*bytes);
  SecureWipe(bytes->data(), bytes->size());  // a private file's numbers may be plain
  return numbers;
}

bool SameNumbers(const RsaPublicNumbers& a, const RsaPublicNumbers& b) { return a.n == b.n && a.e == b.e; }

}  // namespace

KeyFingerprint FingerprintOf(const RsaPublicNumbers& numbers) {
  Sha256 hash;
  AddNumber(hash, numbers.n);
  AddNumber(hash, numbers.e);
  KeyFingerprint out;
  hash.Final(out.data());
  return out;
}

Result<KeyFingerprint> FingerprintOf(const RsaKey& key) {
  auto numbers = key.PublicNumbers();
  if (!numbers) return numbers.error();
  return FingerprintOf(*numbers);
}

std::string FormatFingerprint(const KeyFingerprint& fingerprint, std::size_t groups_per_line) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < fingerprint.size(); i += 2) {
    if (i != 0) {
      const std::size_t group = i / 2;
      out += groups_per_line != 0 && group % groups_per_line == 0 ? '\n' : ' ';
    }
    for (std::size_t j = i; j < i + 2; ++j) {
      out += kHex[fingerprint[j] >> 4];
      out += kHex[fingerprint[j] & 15];
    }
  }
  return out;
}

std::optional<KeyFingerprint> FingerprintOfKeyFile(const Bytes& file) {
  auto numbers = StoredNumbers(file);
  if (!numbers) return std::nullopt;
  return FingerprintOf(*numbers);
}

std::optional<KeyFingerprint> FingerprintOfKeyFile(const KeyStore& store, const std::string& path) {
  auto numbers = StoredNumbers(store, path);
  if (!numbers) return std::nullopt;
  return FingerprintOf(*numbers);
}

std::optional<Notice> ShortKeyNotice(const RsaKey& key, const KeyFileHeader& header, Msg message) {
  if (key.ModulusBits() >= kWarnBelowModulusBits) return std::nullopt;
  return Notice{message, BoxKind::Warning, header.owner};
}

IncomingKey ClassifyIncomingKey(const KeyStore& store, const KeyFileHeader& header,
                                const RsaPublicNumbers& incoming) {
  IncomingKey out;
  auto compare = [&](const std::string& path, IncomingKeyKind different) {
    out.stored_path = path;
    const auto stored = StoredNumbers(store, path);
    if (stored) out.stored_fingerprint = FingerprintOf(*stored);
    out.kind = stored && SameNumbers(*stored, incoming) ? IncomingKeyKind::Same : different;
  };
  // By id first; then the very names the key would be written to, which a
  // file system that ignores letter case can share with a file of another
  // owner's spelling that the lookup by id does not find.
  const std::string private_name = store.PrivatePath(header.owner, header.id);
  const std::string public_name = store.PublicPath(header.owner, header.id);
  if (const auto private_path = store.FindPrivateKeyFile(header.id)) {
    compare(*private_path, IncomingKeyKind::ReplacesMine);
  } else if (store.files().FileExists(private_name)) {
    compare(private_name, IncomingKeyKind::ReplacesMine);
  } else if (const auto public_path = store.FindPublicKeyFile(header.id)) {
    compare(*public_path, IncomingKeyKind::ReplacesOther);
  } else if (store.files().FileExists(public_name)) {
    compare(public_name, IncomingKeyKind::ReplacesOther);
  }
  return out;
}

std::string FingerprintPair(const IncomingKey& stored, const KeyFingerprint& incoming) {
  const std::string old_text = stored.stored_fingerprint ? FormatFingerprint(*stored.stored_fingerprint, 8) : "?";
  return old_text + "\n\n" + FormatFingerprint(incoming, 8);
}

Error ReplacesMyKeyError(const IncomingKey& stored, const KeyFingerprint& incoming) {
  return MakeError(Errc::AlreadyExists, Msg::KeyReplacesMine, BoxKind::Error, FingerprintPair(stored, incoming),
                   "a different key carries the id of the key pair in " + stored.stored_path);
}

}  // namespace qvx

// Key files on disk: names, lookup by id, listing, loading and saving.
#include "keys/key_store.h"

#include <cctype>
#include <utility>

#include "platform/system.h"

namespace qvx {

namespace {

constexpr std::string_view kPublicInfix = "-pub";
constexpr std::string_view kPrivateInfix = "-priv";
constexpr std::string_view kExtension = ".qvx";

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && EqualsIgnoreCase(text.substr(text.size() - end.size()), end);
}

bool ContainsIgnoreCase(std::string_view text, std::string_view part) {
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (EqualsIgnoreCase(text.substr(i, part.size()), part)) return true;
  }
  return false;
}

struct KeyFileName {
  std::string owner;
  std::string id_text;
};

// Splits "<owner><infix>{id}.qvx"; nullopt when the name has another form.
std::optional<KeyFileName> SplitKeyFileName(std::string_view name, std::string_view infix) {
  const std::size_t suffix = infix.size() + kKeyIdTextSize + kExtension.size();
  if (name.size() <= suffix) return std::nullopt;
  const std::string_view tail = name.substr(name.size() - suffix);
  if (!EqualsIgnoreCase(tail.substr(0, infix.size()), infix) || !EndsWithIgnoreCase(tail, kExtension)) {
    return std::nullopt;
  }
  const std::string_view id_text = tail.substr(infix.size(), kKeyIdTextSize);
  if (!ParseKeyIdText(id_text)) return std::nullopt;
  return KeyFileName{std::string(name.substr(0, name.size() - suffix)), std::string(id_text)};
}

SecureBytes IntoSecure(Bytes&& bytes) {
  SecureBytes out(bytes.begin(), bytes.end());
  SecureWipe(bytes.data(), bytes.size());
  return out;
}

}  // namespace

KeyStore::KeyStore(std::string folder, FileSystem& files) : folder_(std::move(folder)), files_(files) {}

std::string KeyStore::PublicFolder() const { return JoinPath(folder_, kPublicFolder); }
std::string KeyStore::PrivateFolder() const { return JoinPath(folder_, kPrivateFolder); }

std::string KeyStore::PublicFileName(std::string_view owner, const KeyId& id) {
  return std::string(owner) + std::string(kPublicInfix) + id.Text() + std::string(kExtension);
}

std::string KeyStore::PrivateFileName(std::string_view owner, const KeyId& id) {
  return std::string(owner) + std::string(kPrivateInfix) + id.Text() + std::string(kExtension);
}

std::string KeyStore::PublicPath(std::string_view owner, const KeyId& id) const {
  return JoinPath(PublicFolder(), PublicFileName(owner, id));
}

std::string KeyStore::PrivatePath(std::string_view owner, const KeyId& id) const {
  return JoinPath(PrivateFolder(), PrivateFileName(owner, id));
}

std::optional<std::string> KeyStore::PublicPathToPrivatePath(std::string_view public_path) const {
  auto parts = SplitKeyFileName(FileNameOf(public_path), kPublicInfix);
  if (!parts) return std::nullopt;
  return JoinPath(PrivateFolder(), parts->owner + std::string(kPrivateInfix) + parts->id_text +
                                       std::string(kExtension));
}

std::optional<std::string> KeyStore::PrivatePathToPublicPath(std::string_view private_path) const {
  auto parts = SplitKeyFileName(FileNameOf(private_path), kPrivateInfix);
  if (!parts) return std::nullopt;
  return JoinPath(PublicFolder(), parts->owner + std::string(kPublicInfix) + parts->id_text +
                                      std::string(kExtension));
}

Status KeyStore::CreateFolders() const {
  if (!files_.FolderExists(folder_)) {
    if (auto made = files_.CreateFolder(folder_); !made) return made;
  }
  if (auto made = files_.CreateFolder(PrivateFolder()); !made) return made;
  return files_.CreateFolder(PublicFolder());
}

Result<NewKeyNames> KeyStore::MakeKeyFileNames(std::string_view owner) const {
  if (!IsValidOwnerName(owner)) return MakeError(Errc::InvalidArgument, "owner name not allowed");
  if (auto made = CreateFolders(); !made) return made.error();
  // 128 random bits practically never collide; the bound only guards against a
  // file system that claims every name exists.
  for (int attempt = 0; attempt < 64; ++attempt) {
    KeyId::IdBytes id_bytes;
    if (auto drawn = RandomBytes(id_bytes.data(), id_bytes.size()); !drawn) return drawn.error();
    NewKeyNames names;
    names.id = KeyId::Make(id_bytes, owner);
    names.public_path = PublicPath(owner, names.id);
    names.private_path = PrivatePath(owner, names.id);
    if (!files_.FileExists(names.public_path) && !files_.FileExists(names.private_path)) {
      return names;
    }
  }
  return MakeError(Errc::Io, "cannot find an unused key file name in " + folder_);
}

std::vector<KeyEntry> KeyStore::List() const {
  std::vector<KeyEntry> entries;
  auto names = files_.ListFiles(PublicFolder());
  if (!names) return entries;
  for (const std::string& name : *names) {
    if (!EndsWithIgnoreCase(name, kExtension) || !ContainsIgnoreCase(name, kPublicInfix)) continue;
    KeyEntry entry;
    entry.public_path = JoinPath(PublicFolder(), name);
    auto header = ReadHeader(entry.public_path);
    if (!header) continue;
    entry.header = std::move(*header);
    if (auto private_path = PublicPathToPrivatePath(entry.public_path)) {
      entry.private_path = *private_path;
      if (ReadHeader(*private_path)) entry.kind = KeyKind::Mine;
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<KeyEntry> KeyStore::List(KeyKind kind) const {
  std::vector<KeyEntry> entries;
  for (auto& entry : List()) {
    if (entry.kind == kind) entries.push_back(std::move(entry));
  }
  return entries;
}

std::optional<std::string> KeyStore::FindKeyFile(const std::string& folder, std::string_view infix,
                                                  const KeyId& id) const {
  auto names = files_.ListFiles(folder);
  if (!names) return std::nullopt;
  const std::string suffix = std::string(infix) + id.Text() + std::string(kExtension);
  for (const std::string& name : *names) {
    // The owner length comes from the id (an envelope's, say): added in 64 bits.
    if (name.size() != std::uint64_t{id.OwnerLength()} + suffix.size() ||
        !EndsWithIgnoreCase(name, suffix)) {
      continue;
    }
    if (id.MatchesOwner(std::string_view(name).substr(0, id.OwnerLength()))) {
      return JoinPath(folder, name);
    }
  }
  return std::nullopt;
}

std::optional<std::string> KeyStore::FindPublicKeyFile(const KeyId& id) const {
  return FindKeyFile(PublicFolder(), kPublicInfix, id);
}

std::optional<std::string> KeyStore::FindPrivateKeyFile(const KeyId& id) const {
  return FindKeyFile(PrivateFolder(), kPrivateInfix, id);
}

Result<KeyFileHeader> KeyStore::ReadHeader(const std::string& path) const {
  auto bytes = files_.ReadFile(path);
  if (!bytes) return bytes.error();
  auto header = ReadKeyFileHeader(bytes->data(), bytes->size());
  SecureWipe(bytes->data(), bytes->size());
  return header;
}

Result<LoadedKey> KeyStore::LoadPublicKey(const std::string& path) const {
  auto bytes = files_.ReadFile(path);
  if (!bytes) return bytes.error();
  auto file = DecodePublicKeyFile(bytes->data(), bytes->size());
  if (!file) return file.error();
  return LoadedKey{std::move(file->header), std::move(file->key), path};
}

namespace {

struct UnlockedPrivate {
  KeyFileHeader header;
  RsaKey key;
  std::optional<Key256> protection;
};

// Whether a key file's name ("<owner><infix>{id}.qvx") names the key its
// header holds: the same id bytes, and an owner part with the length and
// digest recorded in the header's KeyId. Keys are found by name, so a file
// whose header holds another key must not stand in for the one it is named
// after.
bool NameMatchesHeader(std::string_view path, std::string_view infix, const KeyFileHeader& header) {
  const auto parts = SplitKeyFileName(FileNameOf(path), infix);
  if (!parts) return false;
  const auto id = ParseKeyIdText(parts->id_text);
  return id && *id == header.id.Id() && header.id.MatchesOwner(parts->owner);
}

Result<UnlockedPrivate> ReadPrivate(FileSystem& files, const std::string& path,
                                    ProtectionKeySource& keys, const KeyId* expected) {
  auto bytes = files.ReadFile(path);
  if (!bytes) return bytes.error();
  const SecureBytes raw = IntoSecure(std::move(*bytes));
  auto image = PrivateKeyFileImage::Parse(raw.data(), raw.size());
  if (!image) return image.error();
  // Checked before the password is asked: a file of the wrong key is damage.
  if (!NameMatchesHeader(path, kPrivateInfix, image->header())) {
    return MakeError(Errc::Corrupted, "the private key file holds a key other than the one it is named after");
  }
  if (expected != nullptr && image->header().id != *expected) {
    return MakeError(Errc::Corrupted, "the private key file holds a key other than the one asked for");
  }
  UnlockedPrivate out;
  if (image->header().IsProtected()) {
    out.protection = keys.GetProtectionKey(image->header());
    if (!out.protection) return MakeError(Errc::Cancelled, "no password for the private key");
  }
  auto key = image->Unlock(out.protection ? &*out.protection : nullptr);
  if (!key) return key.error();
  if (out.protection) keys.Accepted(image->header());
  out.header = image->header();
  out.key = std::move(*key);
  return out;
}

}  // namespace

Result<LoadedKey> KeyStore::LoadPrivateKey(const std::string& path, ProtectionKeySource& keys) const {
  return LoadPrivateKeyChecked(path, keys, nullptr);
}

Result<LoadedKey> KeyStore::LoadPrivateKey(const std::string& path, ProtectionKeySource& keys,
                                           const KeyId& expected) const {
  return LoadPrivateKeyChecked(path, keys, &expected);
}

Result<LoadedKey> KeyStore::LoadPrivateKeyChecked(const std::string& path, ProtectionKeySource& keys,
                                                  const KeyId* expected) const {
  auto unlocked = ReadPrivate(files_, path, keys, expected);
  if (!unlocked) return unlocked.error();
  return LoadedKey{std::move(unlocked->header), std::move(unlocked->key), path};
}

Status KeyStore::SavePublicKeyFile(const std::string& path, const KeyFileHeader& header,
                                   const RsaKey& pair) const {
  auto bytes = EncodePublicKeyFile(header, pair);
  if (!bytes) return bytes.error();
  if (auto made = files_.CreateFolder(FolderOf(path)); !made) return made;
  return files_.WriteFileAtomic(path, *bytes);
}

Status KeyStore::SavePrivateKeyFile(const std::string& path, const KeyFileHeader& header,
                                    const RsaKey& pair, const Key256* protection) const {
  auto bytes = EncodePrivateKeyFile(header, pair, protection);
  if (!bytes) return bytes.error();
  if (auto made = files_.CreateFolder(FolderOf(path)); !made) return made;
  return files_.WriteFileAtomic(path, bytes->data(), bytes->size());
}

Status KeyStore::Delete(const KeyEntry& entry) const {
  Status removed = files_.RemoveFile(entry.public_path);
  if (!removed && removed.code() != Errc::NotFound) return removed;
  if (entry.kind == KeyKind::Mine && !entry.private_path.empty()) {
    Status removed_private = files_.RemoveFile(entry.private_path);
    if (!removed_private && removed_private.code() != Errc::NotFound) return removed_private;
  }
  return Ok();
}

Status KeyStore::EditNote(const std::string& private_path, std::string_view note,
                          ProtectionKeySource& keys) const {
  if (note.size() > kMaxNoteLength) return MakeError(Errc::InvalidArgument, "note too long");
  auto public_path = PrivatePathToPublicPath(private_path);
  if (!public_path) return MakeError(Errc::InvalidArgument, "not a private key file name");
  auto unlocked = ReadPrivate(files_, private_path, keys, nullptr);
  if (!unlocked) return unlocked.error();
  auto public_header = ReadHeader(*public_path);
  if (!public_header) return public_header.error();
  if (public_header->id != unlocked->header.id) {
    return MakeError(Errc::Corrupted, "the public key file belongs to another key");
  }
  unlocked->header.note = std::string(note);
  public_header->note = std::string(note);
  const Key256* protection = unlocked->protection ? &*unlocked->protection : nullptr;
  if (auto saved = SavePrivateKeyFile(private_path, unlocked->header, unlocked->key, protection);
      !saved) {
    return saved;
  }
  return SavePublicKeyFile(*public_path, *public_header, unlocked->key);
}

}  // namespace qvx

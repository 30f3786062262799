// Key transport files: export and import.
#include "keys/transport.h"

#include <cctype>
#include <cstring>

#include "engine/checksum.h"
#include "engine/rijndael.h"
#include "keys/byte_io.h"
#include "keys/key_file.h"
#include "keys/key_identity.h"

namespace qvx {

namespace {

Error Corrupt(const std::string& what) { return MakeError(Errc::Corrupted, what); }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The private run's stored length: (size + 32) rounded down to 32. Computed
// in 64 bits: with a 32-bit size_t it would wrap to 0 for the sizes near 4 GiB
// that a damaged entry can claim.
constexpr std::uint64_t StoredRunLength(std::uint64_t size) { return (size + 32) / 32 * 32; }

template <class Container>
Status AppendEntry(Container& out, TransportContent content, const std::uint8_t* file,
                   std::size_t size, const std::string& name) {
  if (name.size() + 2 > kTransportNameField) return MakeError(Errc::InvalidArgument, "key file name too long");
  AppendU32(out, static_cast<std::uint32_t>(content));
  AppendU32(out, static_cast<std::uint32_t>(size));
  AppendU32(out, DataChecksum(file, size));
  std::uint8_t field[kTransportNameField] = {};
  field[0] = '\\';
  std::memcpy(field + 1, name.data(), name.size());
  AppendBytes(out, field, sizeof field);
  return Ok();
}

struct Entry {
  std::uint32_t content = 0;
  std::uint32_t size = 0;
  std::uint32_t checksum = 0;
  std::string name;  // without the leading backslash
};

std::optional<Entry> TakeEntry(ByteReader& reader) {
  const std::uint8_t* raw = reader.Take(kTransportEntrySize);
  if (raw == nullptr) return std::nullopt;
  Entry entry;
  entry.content = GetU32(raw);
  entry.size = GetU32(raw + 4);
  entry.checksum = GetU32(raw + 8);
  const std::uint8_t* field = raw + 12;
  const void* nul = std::memchr(field, 0, kTransportNameField);
  if (nul == nullptr || field[0] != '\\') return std::nullopt;
  entry.name.assign(reinterpret_cast<const char*>(field) + 1,
                    static_cast<const std::uint8_t*>(nul) - field - 1);
  return entry;
}

// The "%s" of a file message: the path, then why the system refused it.
std::string PathAndReason(const std::string& path, const Error& error) {
  if (error.detail.empty()) return path;
  return path + "\n" + error.detail;
}

}  // namespace

Result<Bytes> MakeTransportFile(const KeyStore& store, const std::string& public_path,
                                TransportContent content, const TransportKeyQuestion& ask) {
  auto public_file = store.files().ReadFile(public_path);
  if (!public_file) return public_file.error();
  auto public_key = DecodePublicKeyFile(public_file->data(), public_file->size());
  if (!public_key) return public_key.error();
  Bytes out;
  if (auto added = AppendEntry(out, content, public_file->data(), public_file->size(),
                               FileNameOf(public_path));
      !added) {
    return added.error();
  }
  AppendBytes(out, public_file->data(), public_file->size());
  if (content == TransportContent::PublicOnly) return out;

  auto private_path = store.PublicPathToPrivatePath(public_path);
  if (!private_path) return MakeError(Errc::NotFound, "not a public key file name: " + public_path);
  auto private_read = store.files().ReadFile(*private_path);
  if (!private_read) return private_read.error();
  SecureBytes private_file(private_read->begin(), private_read->end());
  SecureWipe(private_read->data(), private_read->size());
  auto image = PrivateKeyFileImage::Parse(private_file.data(), private_file.size());
  if (!image) return image.error();
  auto public_numbers = public_key->key.PublicNumbers();
  if (!public_numbers || image->header().id != public_key->header.id ||
      image->n() != public_numbers->n) {
    return Corrupt("the private key file does not belong to the public key file");
  }
  auto key = ask();
  if (!key) return MakeError(Errc::Cancelled, "no transport password");
  if (auto added = AppendEntry(out, TransportContent::PublicAndPrivate, private_file.data(),
                               private_file.size(), FileNameOf(*private_path));
      !added) {
    return added.error();
  }
  const std::size_t size = private_file.size();
  private_file.resize(static_cast<std::size_t>(StoredRunLength(size)), 0);
  Rijndael256(*key).EncryptBlocks(private_file.data(), RoundUpToBlocks(size));
  AppendBytes(out, private_file.data(), private_file.size());
  return out;
}

Status ExportKeyTransportFile(const KeyStore& store, const std::string& public_path,
                              TransportContent content, const std::string& target,
                              const TransportKeyQuestion& ask) {
  auto file = MakeTransportFile(store, public_path, content, ask);
  if (!file) {
    if (file.code() == Errc::Cancelled) return file.error();
    return Error(file.error()).Then(Msg::KeyLoadError, BoxKind::Error);
  }
  if (auto written = store.files().WriteFileAtomic(target, *file); !written) {
    return Error(written.error()).Then(Msg::TransportWriteFailed, BoxKind::Error,
                                       PathAndReason(target, written.error()));
  }
  return Ok();
}

Result<TransportFile> ParseTransportFile(const std::uint8_t* data, std::size_t size) {
  ByteReader reader(data, size);
  auto first = TakeEntry(reader);
  if (!first || first->content > 1) return Corrupt("transport file entry damaged");
  if (first->size > kMaxTransportKeyFileSize) return Corrupt("transport file public key too large");
  const std::uint8_t* public_bytes = reader.Take(first->size);
  if (public_bytes == nullptr) return Corrupt("transport file shorter than its entry says");
  if (DataChecksum(public_bytes, first->size) != first->checksum) {
    return Corrupt("transport file public key checksum mismatch");
  }
  auto public_key = DecodePublicKeyFile(public_bytes, first->size);
  if (!public_key) return Corrupt("transport file public key damaged");
  TransportFile out;
  out.content = static_cast<TransportContent>(first->content);
  out.header = std::move(public_key->header);
  if (!IsValidOwnerName(out.header.owner) || !out.header.id.MatchesOwner(out.header.owner)) {
    return Corrupt("transport file key owner cannot be stored");
  }
  if (auto text = CheckImportedText(out.header); !text) return text.error();
  out.public_name = KeyStore::PublicFileName(out.header.owner, out.header.id);
  if (!SameNameIgnoringCase(first->name, out.public_name)) {
    return Corrupt("transport file entry name is not the key's file name");
  }
  auto numbers = public_key->key.PublicNumbers();
  if (!numbers) return Corrupt("transport file public key numbers unreadable");
  out.numbers = std::move(*numbers);
  out.public_file.assign(public_bytes, public_bytes + first->size);
  if (out.content == TransportContent::PublicOnly) {
    if (reader.remaining() != 0) return Corrupt("transport file has data after its key");
    return out;
  }
  auto second = TakeEntry(reader);
  if (!second || second->content != 0 || second->size == 0 ||
      second->size > kMaxTransportKeyFileSize) {
    return Corrupt("transport file private entry damaged");
  }
  out.private_name = KeyStore::PrivateFileName(out.header.owner, out.header.id);
  if (!SameNameIgnoringCase(second->name, out.private_name)) {
    return Corrupt("transport file private entry name is not the key's file name");
  }
  const std::size_t run_length = reader.remaining();
  if (run_length != StoredRunLength(second->size)) {
    return Corrupt("transport file private part does not fit its entry");
  }
  const std::uint8_t* run = reader.Take(run_length);
  out.private_size = second->size;
  out.private_checksum = second->checksum;
  out.private_run.assign(run, run + run_length);
  return out;
}

Result<SecureBytes> DecipherTransportPrivate(const TransportFile& file, const Key256& key) {
  if (file.content != TransportContent::PublicAndPrivate) {
    return MakeError(Errc::InvalidArgument, "the transport file carries no private key");
  }
  // The run is deciphered over RoundUpToBlocks(size) bytes: it must hold them.
  if (file.private_size == 0 || file.private_size > kMaxTransportKeyFileSize ||
      file.private_run.size() != StoredRunLength(file.private_size)) {
    return Corrupt("transport file private part does not fit its size");
  }
  SecureBytes plain(file.private_run.begin(), file.private_run.end());
  Rijndael256(key).DecryptBlocks(plain.data(), RoundUpToBlocks(file.private_size));
  plain.resize(file.private_size);
  if (DataChecksum(plain.data(), plain.size()) != file.private_checksum) {
    return MakeError(Errc::WrongPassword, "wrong transport password or damaged data");
  }
  auto image = PrivateKeyFileImage::Parse(plain.data(), plain.size());
  auto public_key = DecodePublicKeyFile(file.public_file.data(), file.public_file.size());
  if (!image || !public_key || image->header().id != file.header.id) {
    return Corrupt("transport file private key damaged");
  }
  auto numbers = public_key->key.PublicNumbers();
  auto private_numbers = image->public_key().PublicNumbers();
  if (!numbers || !private_numbers || numbers->n != private_numbers->n || numbers->e != private_numbers->e) {
    return Corrupt("transport file keys do not match");
  }
  return plain;
}

Result<TransportImport> ImportKeyTransportFile(const KeyStore& store, const std::string& source,
                                               const TransportKeyQuestion& ask, MessageSink& messages) {
  auto bytes = store.files().ReadFile(source);
  if (!bytes) {
    return Error(bytes.error()).Then(Msg::TransportReadFailed, BoxKind::Error,
                                     PathAndReason(source, bytes.error()));
  }
  auto file = ParseTransportFile(bytes->data(), bytes->size());
  if (!file) {
    return file.error().messages.empty() ? Error(file.error()).Then(Msg::TransportCorrupted, BoxKind::Error)
                                         : file.error();
  }
  // Decided before the first write: a refused or declined key leaves the
  // store exactly as it was.
  const IncomingKey stored = ClassifyIncomingKey(store, file->header, file->numbers);
  const KeyFingerprint fingerprint = FingerprintOf(file->numbers);
  if (stored.kind == IncomingKeyKind::ReplacesMine) return ReplacesMyKeyError(stored, fingerprint);
  if (stored.kind == IncomingKeyKind::ReplacesOther &&
      !messages.ConfirmWarning(Msg::KeyReplacesOtherQuestion, FingerprintPair(stored, fingerprint))) {
    return MakeError(Errc::Cancelled, "the stored key of this id was kept");
  }
  const std::string private_target = JoinPath(store.PrivateFolder(), file->private_name);
  auto write_failed = [](const Error& error) {
    return Error(error).Then(Msg::PublicKeyCreationError, BoxKind::Error);
  };
  if (auto made = store.CreateFolders(); !made) return write_failed(made.error());
  TransportImport out;
  out.header = file->header;
  out.public_path = JoinPath(store.PublicFolder(), file->public_name);
  if (auto written = store.files().WriteFileAtomic(out.public_path, file->public_file); !written) {
    return write_failed(written.error());
  }
  if (file->content == TransportContent::PublicOnly) return out;

  auto key = ask();
  if (!key) return MakeError(Errc::Cancelled, "no transport password");
  auto plain = DecipherTransportPrivate(*file, *key);
  if (!plain) {
    return Error(plain.error())
        .Then(plain.code() == Errc::WrongPassword ? Msg::WrongPasswordOrBadData : Msg::TransportCorrupted,
              BoxKind::Error);
  }
  if (auto written = store.files().WriteFileAtomic(private_target, plain->data(), plain->size());
      !written) {
    return write_failed(written.error());
  }
  out.private_path = private_target;
  return out;
}

}  // namespace qvx

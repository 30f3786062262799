// Public key blocks: making them, reading them back into the store, and the
// key file opened by path.
#include "keys/public_key_block.h"

#include <cctype>

#include "engine/armour.h"
#include "engine/base64.h"
#include "keys/key_file.h"
#include "keys/key_identity.h"

namespace qvx {

std::string MakePublicKeyBlock(const std::uint8_t* file, std::size_t size) {
  std::string out(kPublicKeyStartLine);
  out += WrapBase64Lines(Base64Encode(file, size));
  out += kPublicKeyEndLine;
  return out;
}

Result<std::string> MakePublicKeyBlockFromFile(const KeyStore& store, const std::string& public_path) {
  auto bytes = store.files().ReadFile(public_path);
  if (bytes) {
    auto checked = DecodePublicKeyFile(bytes->data(), bytes->size());
    if (checked) return MakePublicKeyBlock(bytes->data(), bytes->size());
    bytes = checked.error();
  }
  return Error(bytes.error()).Then(Msg::KeyLoadError, BoxKind::Error);
}

Result<std::string> MakeMyPublicKeyBlock(const KeyStore& store, const std::string& private_path) {
  auto load_error = [](Error error) { return error.Then(Msg::KeyLoadError, BoxKind::Error); };
  const auto public_path = store.PrivatePathToPublicPath(private_path);
  if (!public_path) return load_error(MakeError(Errc::InvalidArgument, "not a private key file: " + private_path));
  auto private_file = store.files().ReadFile(private_path);
  if (!private_file) return load_error(private_file.error());
  auto image = PrivateKeyFileImage::Parse(private_file->data(), private_file->size());
  SecureWipe(private_file->data(), private_file->size());
  if (!image) return load_error(image.error());
  auto public_file = store.files().ReadFile(*public_path);
  if (!public_file) return load_error(public_file.error());
  auto decoded = DecodePublicKeyFile(public_file->data(), public_file->size());
  if (!decoded) return load_error(decoded.error());
  auto mine = image->public_key().PublicNumbers();
  auto offered = decoded->key.PublicNumbers();
  if (!mine || !offered || mine->n != offered->n || mine->e != offered->e ||
      image->header().id != decoded->header.id) {
    return MakeError(Errc::Corrupted, Msg::MyPublicKeyMismatch, BoxKind::Error, {},
                     "the public key file " + *public_path + " holds another key than " + private_path);
  }
  return MakePublicKeyBlock(public_file->data(), public_file->size());
}

Result<PublicKeyBlock> ReadPublicKeyBlock(std::string_view text) {
  if (!FindMarkerLine(text, kPublicKeyMarkers.start)) {
    return MakeError(Errc::NotFound, Msg::PublicKeyStartNotFound, BoxKind::Error, {},
                     "no public key block in the text");
  }
  const auto span = FindArmour(text, kPublicKeyMarkers);
  if (!span) {
    return MakeError(Errc::NotFound, Msg::PublicKeyEndNotFound, BoxKind::Error, {},
                     "the public key block has no end line");
  }
  auto corrupted = [](const std::string& why) {
    return MakeError(Errc::Corrupted, Msg::PublicKeyCorrupted, BoxKind::Error, {}, why);
  };
  const auto body = CollectArmourBody(text, *span);
  if (!body) return corrupted("the public key block holds text that is not Base64");
  auto file = Base64Decode(*body);
  if (!file) return corrupted("the public key block is not valid Base64");
  auto decoded = DecodePublicKeyFile(file->data(), file->size());
  if (!decoded) return corrupted("the public key block does not hold a valid public key");
  const KeyFileHeader& header = decoded->header;
  // The owner becomes a file name and the id's owner digest finds the file again.
  if (!IsValidOwnerName(header.owner) || !header.id.MatchesOwner(header.owner)) {
    return corrupted("the public key's owner name cannot be stored");
  }
  if (auto text = CheckImportedText(header); !text) return text.error();
  auto numbers = decoded->key.PublicNumbers();
  if (!numbers) return corrupted("the public key's numbers cannot be read");
  PublicKeyBlock block;
  block.numbers = std::move(*numbers);
  block.file_name = KeyStore::PublicFileName(header.owner, header.id);
  block.header = std::move(decoded->header);
  block.file = std::move(*file);
  return block;
}

Result<ImportedPublicKey> ImportPublicKeyBlock(std::string_view text, const KeyStore& store,
                                               MessageSink& messages) {
  auto block = ReadPublicKeyBlock(text);
  if (!block) return block.error();
  ImportedPublicKey out;
  out.path = JoinPath(store.PublicFolder(), block->file_name);
  out.header = std::move(block->header);
  const IncomingKey stored = ClassifyIncomingKey(store, out.header, block->numbers);
  const KeyFingerprint fingerprint = FingerprintOf(block->numbers);
  switch (stored.kind) {
    case IncomingKeyKind::ReplacesMine:
      return ReplacesMyKeyError(stored, fingerprint);
    case IncomingKeyKind::ReplacesOther:
      if (!messages.ConfirmWarning(Msg::KeyReplacesOtherQuestion, FingerprintPair(stored, fingerprint))) {
        out.outcome = PublicKeyImportOutcome::KeptExisting;
        return out;
      }
      out.outcome = PublicKeyImportOutcome::Replaced;
      break;
    case IncomingKeyKind::Same:
    case IncomingKeyKind::New:
      if (store.files().FileExists(out.path)) {
        if (!messages.Confirm(Msg::PublicKeyExistsOverwrite)) {
          out.outcome = PublicKeyImportOutcome::KeptExisting;
          return out;
        }
        out.outcome = PublicKeyImportOutcome::Replaced;
      }
      break;
  }
  Status written = store.CreateFolders();
  if (written) written = store.files().WriteFileAtomic(out.path, block->file);
  if (!written) return Error(written.error()).Then(Msg::PublicKeyCreationError, BoxKind::Error);
  return out;
}

Result<KeyFileInfo> ReadKeyFileForDisplay(const std::string& path, const KeyStore& store) {
  const std::string name = FileNameOf(path);
  const std::size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  Result<KeyFileHeader> header = MakeError(Errc::InvalidArgument, "not a .qvx file: " + path);
  if (extension == ".qvx") header = store.ReadHeader(path);
  if (!header) return Error(header.error()).Then(Msg::KeyLoadError, BoxKind::Error);
  KeyFileInfo info;
  info.mine = store.FindPrivateKeyFile(header->id).has_value();
  info.fingerprint = FingerprintOfKeyFile(store, path);
  info.header = std::move(*header);
  return info;
}

}  // namespace qvx

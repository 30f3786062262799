// Key pair generation.
#include "keys/generate.h"

#include "platform/system.h"

namespace qvx {

bool IsValidKeyLength(unsigned bits) {
  return bits >= kMinKeyBits && bits <= kMaxKeyBits && bits % kKeyBitsStep == 0;
}

Result<GeneratedKey> GenerateKeyPair(const KeyStore& store, unsigned bits, std::string_view owner,
                                     std::string_view note, const Key256* protection) {
  if (!IsValidKeyLength(bits)) {
    return MakeError(Errc::InvalidArgument, "key length must be 1024 to 2048 bits in steps of 8");
  }
  if (!IsValidOwnerName(owner)) {
    return MakeError(Errc::InvalidArgument,
                     "owner name must be 1 to 79 characters that can stand in a file name");
  }
  if (note.size() > kMaxNoteLength) {
    return MakeError(Errc::InvalidArgument, "note must be at most 127 characters");
  }
  auto names = store.MakeKeyFileNames(owner);
  if (!names) return names.error();
  auto pair = RsaKey::Generate(bits);
  if (!pair) return pair.error();

  GeneratedKey out;
  out.header.flags = protection != nullptr ? KeyFileHeader::kFlagProtected : 0;
  out.header.created = LocalFileTimeNow();
  out.header.id = names->id;
  out.header.bits = bits;
  out.header.owner = std::string(owner);
  out.header.note = std::string(note);
  out.public_path = names->public_path;
  out.private_path = names->private_path;

  if (auto saved = store.SavePrivateKeyFile(out.private_path, out.header, *pair, protection);
      !saved) {
    return saved.error();
  }
  if (auto saved = store.SavePublicKeyFile(out.public_path, out.header, *pair); !saved) {
    // A private file without its public partner would be invisible in the
    // lists but still found by id; take it away again.
    (void)store.files().RemoveFile(out.private_path);
    return saved.error();
  }
  return out;
}

}  // namespace qvx

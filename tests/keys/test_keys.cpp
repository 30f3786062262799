#include "tests/keys/test_keys.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <utility>

#include "engine/checksum.h"
#include "keys/byte_io.h"
#include "platform/system.h"

namespace qvx::test {

const RsaKey& TestKey(unsigned bits, int index) {
  static std::map<std::pair<unsigned, int>, RsaKey> keys;
  auto it = keys.find({bits, index});
  if (it == keys.end()) {
    auto key = RsaKey::Generate(bits);
    if (!key) throw std::runtime_error("key generation failed: " + key.error().detail);
    it = keys.emplace(std::make_pair(bits, index), std::move(*key)).first;
  }
  return it->second;
}

StoredPair StorePair(const KeyStore& store, const RsaKey& key, std::string_view owner,
                     std::string_view note, const Key256* protection) {
  auto names = store.MakeKeyFileNames(owner);
  if (!names) throw std::runtime_error("MakeKeyFileNames failed: " + names.error().detail);
  StoredPair pair;
  pair.header.flags = protection ? KeyFileHeader::kFlagProtected : 0;
  pair.header.created = LocalFileTimeNow();
  pair.header.id = names->id;
  pair.header.bits = key.ModulusBits();
  pair.header.owner = std::string(owner);
  pair.header.note = std::string(note);
  pair.public_path = names->public_path;
  pair.private_path = names->private_path;
  if (!store.SavePrivateKeyFile(pair.private_path, pair.header, key, protection) ||
      !store.SavePublicKeyFile(pair.public_path, pair.header, key)) {
    throw std::runtime_error("saving a key pair failed");
  }
  return pair;
}

void FixKeyFileChecksum(Bytes& file) {
  PutU32(file.data(), DataChecksum(file.data() + 4, file.size() - 4));
}

KeyFileLayout LayoutOf(const Bytes& file, bool private_file) {
  KeyFileLayout l;
  std::size_t pos = 292;
  l.n_len = GetU32(&file[pos]);
  l.n = pos + 8;
  pos = l.n + l.n_len;
  l.e_len = GetU32(&file[pos]);
  l.e = pos + 8;
  pos = l.e + l.e_len;
  if (private_file) {
    for (int i = 0; i < 6; ++i) {
      l.secret_len[i] = GetU32(&file[pos]);
      l.secrets[i] = pos + 8;
      pos = l.secrets[i] + (l.secret_len[i] + 31) / 32 * 32;
    }
  }
  l.seal_len_field = pos;
  l.seal = pos + 4;
  return l;
}

std::size_t FilesUnder(const std::string& folder) {
  std::size_t n = 0;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       it != std::filesystem::recursive_directory_iterator(); ++it) {
    if (it->is_regular_file()) ++n;
  }
  return n;
}

Bytes ReadAll(const std::string& path) {
  auto bytes = NativeFileSystem().ReadFile(path);
  if (!bytes) throw std::runtime_error("cannot read " + path);
  return *bytes;
}

void WriteAll(const std::string& path, const Bytes& data) {
  if (!NativeFileSystem().WriteFileAtomic(path, data)) throw std::runtime_error("cannot write " + path);
}

}  // namespace qvx::test

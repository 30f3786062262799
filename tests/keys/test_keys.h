// Shared fixtures of the key tests: RSA pairs generated once per test program
// (generation is the slow part, above all under Wine) and helpers that put
// them into a store or damage files on purpose.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "keys/key_file.h"
#include "keys/key_store.h"
#include "keys/rsa_key.h"

namespace qvx::test {

// A pair of 1024 or 2048 bits (index 0 or 1 gives different pairs of a size).
const RsaKey& TestKey(unsigned bits, int index = 0);

// Writes both files of a pair into the store, as generation does, and gives
// the header (private file form) and paths.
struct StoredPair {
  KeyFileHeader header;
  std::string public_path;
  std::string private_path;
};
StoredPair StorePair(const KeyStore& store, const RsaKey& key, std::string_view owner,
                     std::string_view note = "a note", const Key256* protection = nullptr);

// Recomputes a key file's checksum at offset 0 after a deliberate change.
void FixKeyFileChecksum(Bytes& file);
template <class Container>
void FixChecksum(Container& file) {
  Bytes copy(file.begin(), file.end());
  FixKeyFileChecksum(copy);
  std::copy(copy.begin(), copy.begin() + 4, file.begin());
}

// Offsets of the regions of a key file (from its own length fields).
struct KeyFileLayout {
  std::size_t n = 0, n_len = 0;
  std::size_t e = 0, e_len = 0;
  std::size_t secrets[6] = {};  // start of each stored run (private files)
  std::size_t secret_len[6] = {};
  std::size_t seal_len_field = 0;
  std::size_t seal = 0;
};
KeyFileLayout LayoutOf(const Bytes& file, bool private_file);

Bytes ReadAll(const std::string& path);
// Regular files anywhere below a folder (0 when it does not exist).
std::size_t FilesUnder(const std::string& folder);
void WriteAll(const std::string& path, const Bytes& data);

}  // namespace qvx::test

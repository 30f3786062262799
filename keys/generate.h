// Making a new key pair of the user's own and writing both of its files.
#pragma once

#include <string>
#include <string_view>

#include "keys/key_store.h"
#include "platform/result.h"
#include "platform/secure.h"

namespace qvx {

constexpr unsigned kMinKeyBits = 1024;
constexpr unsigned kMaxKeyBits = 2048;
constexpr unsigned kKeyBitsStep = 8;

// True for 1024 to 2048 in steps of 8.
bool IsValidKeyLength(unsigned bits);

struct GeneratedKey {
  KeyFileHeader header;  // as in the private file
  std::string public_path;
  std::string private_path;
};

// Generates an RSA pair (exponent 65537) and writes the private file, then the
// public file, into the store; the private numbers are enciphered under
// `protection` when given. The id bytes are drawn from the system's random
// generator. InvalidArgument for a length, owner or note the formats cannot
// hold; on a failed write no file of the pair is left behind.
Result<GeneratedKey> GenerateKeyPair(const KeyStore& store, unsigned bits, std::string_view owner,
                                     std::string_view note, const Key256* protection);

}  // namespace qvx

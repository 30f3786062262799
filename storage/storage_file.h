// The account file as a whole: a 36-byte header (a reserved word and the check
// value of the account key) followed by 484-byte records in the order they
// were added. Bytes behind the last whole record belong to no record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/sha256.h"
#include "platform/files.h"
#include "platform/result.h"
#include "platform/secure.h"
#include "storage/record.h"

namespace qvx::storage {

inline constexpr std::size_t kHeaderSize = 36;
inline constexpr std::size_t kCheckValueOffset = 4;

struct StorageImage {
  std::uint32_t reserved = 0;  // written as 0, never interpreted
  Sha256Digest check{};        // SHA-256 of the account key
  std::vector<RecordBytes> records;
  std::size_t tail_size = 0;   // bytes behind the last whole record, ignored
};

// The check value stored for an account key: SHA-256(key), which is
// SHA-256(SHA-256(password)).
Sha256Digest StorageCheckValue(const Key256& key);

// Splits a file into header and whole records. Corrupted when the file is
// shorter than its header.
Result<StorageImage> ParseStorageFile(const std::uint8_t* data, std::size_t size);
inline Result<StorageImage> ParseStorageFile(const Bytes& data) {
  return ParseStorageFile(data.data(), data.size());
}

// The file for an image: header (reserved word 0) and every record. Bytes
// behind the last whole record are not written again: a rewritten file always
// ends on a record boundary, so records added later stay aligned.
Bytes SerializeStorageFile(const StorageImage& image);

// True when the header's check value belongs to this key (constant time).
bool HeaderMatchesKey(const StorageImage& image, const Key256& key);

// Every record deciphered and checked, in file order. The first record that
// fails its check values fails the whole call (Corrupted, naming the record).
Result<std::vector<RecordContents>> DecodeAllRecords(const StorageImage& image,
                                                     const Rijndael256& cipher);

}  // namespace qvx::storage

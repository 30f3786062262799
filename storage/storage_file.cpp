// Reading and writing the account file as header plus whole records.
#include "storage/storage_file.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace qvx::storage {

Sha256Digest StorageCheckValue(const Key256& key) { return Sha256Of(key.data(), key.size()); }

Result<StorageImage> ParseStorageFile(const std::uint8_t* data, std::size_t size) {
  if (size < kHeaderSize) {
    return MakeError(Errc::Corrupted, "the password file is shorter than its " +
                                          std::to_string(kHeaderSize) + "-byte header (" +
                                          std::to_string(size) + " bytes)");
  }
  StorageImage image;
  image.reserved = LoadLe32(data);
  std::copy_n(data + kCheckValueOffset, image.check.size(), image.check.begin());
  const std::size_t count = (size - kHeaderSize) / kRecordSize;
  image.records.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::memcpy(image.records[i].data(), data + kHeaderSize + i * kRecordSize, kRecordSize);
  }
  image.tail_size = size - kHeaderSize - count * kRecordSize;
  return image;
}

Bytes SerializeStorageFile(const StorageImage& image) {
  Bytes out(kHeaderSize + image.records.size() * kRecordSize, 0);
  std::copy(image.check.begin(), image.check.end(), out.begin() + kCheckValueOffset);
  std::uint8_t* p = out.data() + kHeaderSize;
  for (const auto& record : image.records) {
    std::memcpy(p, record.data(), kRecordSize);
    p += kRecordSize;
  }
  return out;
}

bool HeaderMatchesKey(const StorageImage& image, const Key256& key) {
  const Sha256Digest expected = StorageCheckValue(key);
  return ConstantTimeEqual(expected.data(), image.check.data(), expected.size());
}

Result<std::vector<RecordContents>> DecodeAllRecords(const StorageImage& image,
                                                     const Rijndael256& cipher) {
  std::vector<RecordContents> out;
  out.reserve(image.records.size());
  for (std::size_t i = 0; i < image.records.size(); ++i) {
    auto decoded = DecodeRecord(image.records[i], cipher);
    if (!decoded) {
      return MakeError(Errc::Corrupted,
                       "record " + std::to_string(i + 1) + ": " + decoded.error().detail);
    }
    out.push_back(std::move(decoded).value());
  }
  return out;
}

}  // namespace qvx::storage

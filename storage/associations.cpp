// The associations file: find, add and purge over whole 212-byte records.
#include "storage/associations.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qvx::storage {

Result<AssociationBytes> EncodeAssociation(const KeyAssociation& association) {
  if (association.account.size() >= kAssociationAccountSize) {
    return MakeError(Errc::InvalidArgument, "the account name is longer than 127 characters");
  }
  if (association.account.find('\0') != std::string::npos) {
    return MakeError(Errc::InvalidArgument, "the account name contains a zero byte");
  }
  AssociationBytes record{};
  std::copy(association.key_id.begin(), association.key_id.end(), record.begin());
  std::copy(association.check.begin(), association.check.end(),
            record.begin() + kAssociationCheckOffset);
  std::copy(association.account.begin(), association.account.end(),
            record.begin() + kAssociationAccountOffset);
  return record;
}

KeyAssociation DecodeAssociation(const AssociationBytes& record) {
  KeyAssociation out;
  std::copy_n(record.begin(), kKeyIdSize, out.key_id.begin());
  std::copy_n(record.begin() + kAssociationCheckOffset, out.check.size(), out.check.begin());
  const char* name = reinterpret_cast<const char*>(record.data() + kAssociationAccountOffset);
  const void* zero = std::memchr(name, 0, kAssociationAccountSize);
  const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - name)
                                  : kAssociationAccountSize;
  out.account.assign(name, length);
  return out;
}

std::vector<AssociationBytes> ParseAssociations(const std::uint8_t* data, std::size_t size) {
  std::vector<AssociationBytes> records(size / kAssociationSize);
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::memcpy(records[i].data(), data + i * kAssociationSize, kAssociationSize);
  }
  return records;
}

AssociationsFile AssociationsFile::InFolder(FileSystem& fs, std::string_view folder) {
  return AssociationsFile(fs, JoinPath(folder, kAssociationsFileName));
}

Result<std::vector<AssociationBytes>> AssociationsFile::ReadRecords() const {
  auto data = fs_->ReadFile(path_);
  if (!data) {
    if (data.code() == Errc::NotFound) return std::vector<AssociationBytes>{};
    return data.error();
  }
  return ParseAssociations(data->data(), data->size());
}

Status AssociationsFile::Write(const std::vector<AssociationBytes>& records) {
  Bytes out(records.size() * kAssociationSize);
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::memcpy(out.data() + i * kAssociationSize, records[i].data(), kAssociationSize);
  }
  return fs_->WriteFileAtomic(path_, out);
}

Result<std::optional<KeyAssociation>> AssociationsFile::Find(const KeyIdBytes& key_id) const {
  auto records = ReadRecords();
  if (!records) return records.error();
  for (const auto& record : *records) {
    if (std::equal(key_id.begin(), key_id.end(), record.begin())) {
      return std::optional<KeyAssociation>(DecodeAssociation(record));
    }
  }
  return std::optional<KeyAssociation>();
}

Status AssociationsFile::Add(const KeyIdBytes& key_id, const Sha256Digest& check,
                             std::string_view account) {
  auto record = EncodeAssociation(KeyAssociation{key_id, check, std::string(account)});
  if (!record) return record.error();
  const auto lock = fs_->LockExclusive(LockPathFor(path_), lock_wait_);
  if (!lock) return lock.error();
  auto records = ReadRecords();
  if (!records) return records.error();
  records->erase(std::remove(records->begin(), records->end(), *record), records->end());
  records->push_back(*record);
  return Write(*records);
}

Result<std::size_t> AssociationsFile::Purge(const PrivateKeyExists& private_key_exists) {
  const auto lock = fs_->LockExclusive(LockPathFor(path_), lock_wait_);
  if (!lock) return lock.error();
  auto records = ReadRecords();
  if (!records) return records.error();
  std::vector<AssociationBytes> kept;
  kept.reserve(records->size());
  for (const auto& record : *records) {
    KeyIdBytes key_id;
    std::copy_n(record.begin(), kKeyIdSize, key_id.begin());
    auto exists = private_key_exists(key_id);
    if (!exists) return exists.error();
    if (*exists) kept.push_back(record);
  }
  const std::size_t dropped = records->size() - kept.size();
  if (dropped == 0) return std::size_t{0};
  if (Status s = Write(kept); !s) return s.error();
  return dropped;
}

Result<std::vector<KeyAssociation>> AssociationsFile::ReadAll() const {
  auto records = ReadRecords();
  if (!records) return records.error();
  std::vector<KeyAssociation> out;
  out.reserve(records->size());
  for (const auto& record : *records) out.push_back(DecodeAssociation(record));
  return out;
}

}  // namespace qvx::storage

// Fuzz target for the password storage readers: the same bytes are read as an
// account file (password "fuzz") and as an associations file, through the
// real account and associations code over an in-memory file system, and the
// operations that follow a read (add, find, purge) are checked for their
// invariants.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "engine/sha256.h"
#include "platform/files.h"
#include "storage/account.h"
#include "storage/associations.h"
#include "storage/book.h"
#include "storage/wildcard.h"

namespace {

using namespace qvx;
using namespace qvx::storage;

class MemoryFileSystem final : public FileSystem {
 public:
  Result<Bytes> ReadFile(const std::string& path) override {
    auto it = files.find(path);
    if (it == files.end()) return MakeError(Errc::NotFound, path);
    return it->second;
  }
  Status WriteFileAtomic(const std::string& path, const std::uint8_t* data, std::size_t size) override {
    files[path] = Bytes(data, data + size);
    return Ok();
  }
  Status CreateFileExclusive(const std::string& path, const std::uint8_t* data,
                             std::size_t size) override {
    if (files.count(path) > 0) return MakeError(Errc::AlreadyExists, path);
    return WriteFileAtomic(path, data, size);
  }
  Result<std::unique_ptr<FileLock>> LockExclusive(const std::string&,
                                                  std::chrono::milliseconds) override {
    return std::make_unique<FileLock>();  // one thread, nothing to exclude
  }
  Result<std::vector<std::string>> ListFiles(const std::string&) override {
    return std::vector<std::string>{};
  }
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  bool FolderExists(const std::string&) override { return true; }
  Status CreateFolder(const std::string&) override { return Ok(); }
  Status RemoveFile(const std::string& path) override {
    return files.erase(path) ? Ok() : Status(MakeError(Errc::NotFound, path));
  }
  using FileSystem::CreateFileExclusive;
  using FileSystem::WriteFileAtomic;

  std::map<std::string, Bytes> files;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

void FuzzAccountFile(const std::uint8_t* data, std::size_t size) {
  MemoryFileSystem fs;
  const AccountFolder folder(fs, "store");
  const std::string path = folder.FilePath("fuzz");
  fs.files[path] = Bytes(data, data + size);

  // Every record deciphered under the fuzz key, whatever the header says.
  auto image = ParseStorageFile(data, size);
  Check(image.ok() == (size >= kHeaderSize));
  if (!image) return;
  Check(image->records.size() == (size - kHeaderSize) / kRecordSize);
  const Key256 key = PasswordToKey("fuzz");
  const Rijndael256 cipher(key);
  for (const auto& record : image->records) {
    auto contents = DecodeRecord(record, cipher);
    (void)RecordPasswordKey(record, cipher);
    if (!contents) continue;
    Check(contents->owner.size() <= kOwnerFieldSize && contents->note.size() <= kNoteFieldSize);
    (void)FilterMatches(contents->owner.view(), contents->note.view());
    (void)FormatCreationTime(contents->created);
  }

  auto session = OpenAccount(folder, "fuzz", "fuzz");
  if (!session) return;
  auto records = session->ReadRecords();
  if (!records) {
    // A damaged file is never written.
    Check(session->Add("o", "p", "n", 1).code() == records.code());
    Check(fs.files[path] == Bytes(data, data + size));
    return;
  }
  const std::size_t count = records->size();
  if (count > 0) {
    const Key256 first = session->PasswordKey((*records)[0]);
    auto found = session->FindAssociatedPassword(Sha256Of(first.data(), first.size()));
    Check(found.ok() && *found == first);
  }
  Check(session->Add("added", "password", "note", 7).ok());
  Check(fs.files[path].size() == kHeaderSize + (count + 1) * kRecordSize);
  auto after = session->ReadRecords();
  Check(after.ok() && after->size() == count + 1);
  for (std::size_t i = 0; i < count; ++i) {
    Check((*after)[i].bytes == (*records)[i].bytes);
  }
  Check((*after)[count].contents.owner.view() == "added");
  Check(session->Remove((*after)[0]).ok());
  Check(session->ReadRecords()->size() == count);
}

void FuzzAssociationsFile(const std::uint8_t* data, std::size_t size) {
  MemoryFileSystem fs;
  AssociationsFile file(fs, "store/associations.qvxc");
  fs.files[file.path()] = Bytes(data, data + size);
  auto all = file.ReadAll();
  Check(all.ok() && all->size() == size / kAssociationSize);
  if (all->empty()) return;

  const KeyIdBytes id = (*all)[0].key_id;
  auto found = file.Find(id);
  Check(found.ok() && found->has_value() && (*found)->check == (*all)[0].check &&
        (*found)->account == (*all)[0].account);

  // Purge keeping everything writes nothing; dropping keys with an odd first byte.
  Check(file.Purge([](const KeyIdBytes&) -> Result<bool> { return true; }).ok());
  Check(fs.files[file.path()] == Bytes(data, data + size));
  std::size_t odd = 0;
  for (const auto& a : *all) odd += a.key_id[0] & 1;
  auto dropped = file.Purge([](const KeyIdBytes& k) -> Result<bool> { return (k[0] & 1) == 0; });
  Check(dropped.ok() && *dropped == odd);
  if (odd > 0) {
    Check(fs.files[file.path()].size() == (all->size() - odd) * kAssociationSize);
  } else {
    Check(fs.files[file.path()] == Bytes(data, data + size));
  }

  // Adding a record twice leaves it once, at the end, on a record boundary.
  Sha256Digest check{};
  check.fill(0x5C);
  Check(file.Add(id, check, "acct").ok());
  Check(file.Add(id, check, "acct").ok());
  const Bytes& now = fs.files[file.path()];
  Check(now.size() % kAssociationSize == 0);
  auto last = file.ReadAll();
  Check(last.ok() && !last->empty() && last->back().account == "acct");
  std::size_t copies = 0;
  for (const auto& a : *last) copies += a.key_id == id && a.check == check && a.account == "acct";
  Check(copies == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzAccountFile(data, size);
  FuzzAssociationsFile(data, size);
  if (size >= 2) {
    // The wildcard matcher on arbitrary text and pattern.
    const std::size_t split = data[0] % size;
    const std::string_view all(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t cut = split < all.size() ? split : all.size();
    (void)WildcardMatch(all.substr(0, cut).substr(0, 300), all.substr(cut).substr(0, 300));
  }
  return 0;
}

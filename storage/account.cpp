// Account files: names, creation, login and the record operations of a login.
#include "storage/account.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/password_key.h"
#include "engine/rijndael.h"

namespace qvx::storage {

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsUpper(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (AsciiUpper(text[i]) != upper[i]) return false;
  }
  return true;
}

// Windows opens a device instead of a file for these names, whatever follows
// the first dot. Digits include the superscripts 1, 2 and 3 of the ANSI page.
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (EqualsUpper(base, device)) return true;
  }
  if (base.size() == 4 && (EqualsUpper(base.substr(0, 3), "COM") || EqualsUpper(base.substr(0, 3), "LPT"))) {
    const unsigned char d = static_cast<unsigned char>(base[3]);
    return (d >= '1' && d <= '9') || d == 0xB9 || d == 0xB2 || d == 0xB3;
  }
  return false;
}

}  // namespace

std::optional<std::string> AccountNameProblem(std::string_view name, NameUse use) {
  if (name.empty()) return "the account name is empty";
  if (name.size() > kMaxAccountNameLength) {
    return "the account name is longer than " + std::to_string(kMaxAccountNameLength) +
           " characters";
  }
  if (name == "." || name == "..") return "the account name cannot be \"" + std::string(name) + "\"";
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return "the account name contains a control character";
    if (std::strchr("<>:\"/\\|?*", c) != nullptr) {
      return std::string("the account name contains the character '") + c + "'";
    }
  }
  if (IsDeviceName(name)) return "the account name is a device name of Windows";
  if (use == NameUse::Create && (name.back() == '.' || name.back() == ' ')) {
    return "the account name ends in a dot or a blank";
  }
  return std::nullopt;
}

std::string AccountFolder::FilePath(std::string_view account) const {
  return JoinPath(folder_, std::string(account) + kAccountFileExtension);
}

bool AccountFolder::Exists(std::string_view account) const {
  return !AccountNameProblem(account, NameUse::Open) && fs_->FileExists(FilePath(account));
}

StorageSession::StorageSession(FileSystem& fs, std::string account, std::string path, Key256 key)
    : fs_(&fs), account_(std::move(account)), path_(std::move(path)), key_(key) {}

StorageSession::StorageSession(StorageSession&& other) noexcept
    : fs_(other.fs_), account_(std::move(other.account_)), path_(std::move(other.path_)),
      key_(other.key_), lock_wait_(other.lock_wait_) {
  other.key_.Wipe();
}

StorageSession& StorageSession::operator=(StorageSession&& other) noexcept {
  if (this != &other) {
    fs_ = other.fs_;
    account_ = std::move(other.account_);
    path_ = std::move(other.path_);
    key_ = other.key_;
    lock_wait_ = other.lock_wait_;
    other.key_.Wipe();
  }
  return *this;
}

Result<StorageImage> StorageSession::ReadImage() const {
  auto data = fs_->ReadFile(path_);
  if (!data) {
    if (data.code() == Errc::NotFound) {
      return MakeError(Errc::NotFound, "the password file of account \"" + account_ +
                                           "\" no longer exists: " + path_);
    }
    return data.error();
  }
  auto image = ParseStorageFile(*data);
  if (!image) return image.error();
  if (!HeaderMatchesKey(*image, key_)) {
    return MakeError(Errc::WrongPassword,
                     "the password file no longer opens with this login's password "
                     "(was it changed elsewhere?)");
  }
  return image;
}

Result<StorageSession::CheckedFile> StorageSession::ReadChecked() const {
  auto image = ReadImage();
  if (!image) return image.error();
  const Rijndael256 cipher(key_);
  auto contents = DecodeAllRecords(*image, cipher);
  if (!contents) return contents.error();
  return CheckedFile{std::move(image).value(), std::move(contents).value()};
}

Result<std::unique_ptr<FileLock>> StorageSession::Lock() const {
  return fs_->LockExclusive(LockPathFor(path_), lock_wait_);
}

Status StorageSession::Save(const StorageImage& image) const {
  return fs_->WriteFileAtomic(path_, SerializeStorageFile(image));
}

Result<std::size_t> StorageSession::Locate(const StorageImage& image, const StoredRecord& record) {
  if (record.index < image.records.size() && image.records[record.index] == record.bytes) {
    return record.index;
  }
  const auto it = std::find(image.records.begin(), image.records.end(), record.bytes);
  if (it == image.records.end()) {
    return MakeError(Errc::NotFound, "the record is no longer in the password file");
  }
  return static_cast<std::size_t>(it - image.records.begin());
}

Result<std::vector<StoredRecord>> StorageSession::ReadRecords() const {
  auto file = ReadChecked();
  if (!file) return file.error();
  std::vector<StoredRecord> out(file->image.records.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i].index = i;
    out[i].bytes = file->image.records[i];
    out[i].contents = std::move(file->contents[i]);
  }
  return out;
}

Status StorageSession::Add(std::string_view owner, std::string_view password,
                           std::string_view note) {
  return Add(owner, password, note, LocalFileTimeNow());
}

Status StorageSession::Add(std::string_view owner, std::string_view password,
                           std::string_view note, FileTime created) {
  if (Status s = ValidateRecordTexts(owner, password, note); !s) return s;
  const auto lock = Lock();
  if (!lock) return lock.error();
  auto file = ReadChecked();
  if (!file) return file.error();
  const Rijndael256 cipher(key_);
  RecordBytes record{};
  if (Status s = EncodeRecord(record, cipher, owner, password, note, created); !s) return s;
  file->image.records.push_back(record);
  return Save(file->image);
}

Status StorageSession::Edit(const StoredRecord& record, std::string_view password,
                            std::string_view note) {
  if (Status s = ValidateRecordTexts({}, password, note); !s) return s;
  const auto lock = Lock();
  if (!lock) return lock.error();
  auto file = ReadChecked();
  if (!file) return file.error();
  auto index = Locate(file->image, record);
  if (!index) return index.error();
  const RecordContents& now = file->contents[*index];
  if (now.password.view() == password && now.note.view() == note) return Ok();  // nothing to write
  const Rijndael256 cipher(key_);
  RecordBytes& target = file->image.records[*index];
  if (Status s = EncodeSecrets(target, cipher, password, note); !s) return s;
  return Save(file->image);
}

Status StorageSession::Remove(const StoredRecord& record) {
  const auto lock = Lock();
  if (!lock) return lock.error();
  auto file = ReadChecked();
  if (!file) return file.error();
  auto index = Locate(file->image, record);
  if (!index) return index.error();
  file->image.records.erase(file->image.records.begin() + static_cast<std::ptrdiff_t>(*index));
  return Save(file->image);
}

Status StorageSession::ChangePassword(std::string_view new_password) {
  if (new_password.empty()) return MakeError(Errc::InvalidArgument, "the new password is empty");
  const auto lock = Lock();
  if (!lock) return lock.error();
  auto file = ReadChecked();
  if (!file) return file.error();
  const Key256 new_key = PasswordToKey(new_password);
  const Rijndael256 cipher(new_key);
  StorageImage image;
  image.check = StorageCheckValue(new_key);
  image.records.resize(file->contents.size());
  for (std::size_t i = 0; i < image.records.size(); ++i) {
    const RecordContents& c = file->contents[i];
    if (Status s = EncodeRecord(image.records[i], cipher, c.owner.view(), c.password.view(), c.note.view(),
                                c.created);
        !s) {
      return MakeError(s.code(), "record " + std::to_string(i + 1) + ": " + s.error().detail);
    }
  }
  if (Status s = Save(image); !s) return s;
  key_ = new_key;
  return Ok();
}

Result<Key256> StorageSession::FindAssociatedPassword(const Sha256Digest& check) const {
  auto image = ReadImage();
  if (!image) return image.error();
  const Rijndael256 cipher(key_);
  for (const auto& record : image->records) {
    Key256 key = RecordPasswordKey(record, cipher);
    const Sha256Digest value = Sha256Of(key.data(), key.size());
    if (ConstantTimeEqual(value.data(), check.data(), check.size())) return key;
  }
  return MakeError(Errc::NotFound, "no stored password has this check value");
}

Key256 StorageSession::PasswordKey(const StoredRecord& record) const {
  const Rijndael256 cipher(key_);
  return RecordPasswordKey(record.bytes, cipher);
}

Result<StorageSession> CreateAccount(const AccountFolder& folder, std::string_view name,
                                     std::string_view password) {
  if (auto problem = AccountNameProblem(name, NameUse::Create)) {
    return MakeError(Errc::InvalidArgument, *problem);
  }
  if (password.empty()) return MakeError(Errc::InvalidArgument, "the account password is empty");
  const std::string path = folder.FilePath(name);
  const Key256 key = PasswordToKey(password);
  StorageImage image;
  image.check = StorageCheckValue(key);
  // Exclusive: of two programs creating the same account at once, one wins
  // and the other is told that the account exists.
  if (Status s = folder.fs().CreateFileExclusive(path, SerializeStorageFile(image)); !s) {
    if (s.code() == Errc::AlreadyExists) {
      return MakeError(Errc::AlreadyExists, "the account \"" + std::string(name) + "\" already exists");
    }
    return s.error();
  }
  return StorageSession(folder.fs(), std::string(name), path, key);
}

Result<StorageSession> OpenAccount(const AccountFolder& folder, std::string_view name,
                                   std::string_view password) {
  if (auto problem = AccountNameProblem(name, NameUse::Open)) {
    return MakeError(Errc::InvalidArgument, *problem);
  }
  const std::string path = folder.FilePath(name);
  auto data = folder.fs().ReadFile(path);
  if (!data) {
    if (data.code() == Errc::NotFound) {
      return MakeError(Errc::NotFound, "there is no account \"" + std::string(name) + "\"");
    }
    return data.error();
  }
  auto image = ParseStorageFile(*data);
  if (!image) return image.error();
  const Key256 key = PasswordToKey(password);
  if (!HeaderMatchesKey(*image, key)) {
    return MakeError(Errc::WrongPassword, "wrong password for account \"" + std::string(name) + "\"");
  }
  return StorageSession(folder.fs(), std::string(name), path, key);
}

}  // namespace qvx::storage

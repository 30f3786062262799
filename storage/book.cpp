// The password storage window's model: list, row texts, sorting and actions.
#include "storage/book.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "storage/wildcard.h"

namespace qvx::storage {

namespace {

// Appends a number zero-padded to a width, as "%0Nd" prints a non-negative int.
void AppendNumber(std::string& out, long long value, std::size_t width, bool zero_pad) {
  std::string digits;
  const bool negative = value < 0;
  unsigned long long v = negative ? 0ull - static_cast<unsigned long long>(value)
                                  : static_cast<unsigned long long>(value);
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + v % 10));
    v /= 10;
  } while (v != 0);
  if (negative) digits.insert(digits.begin(), '-');
  if (digits.size() < width) digits.insert(digits.begin(), width - digits.size(), zero_pad ? '0' : ' ');
  out += digits;
}

}  // namespace

bool PassesFilters(const RecordContents& record, const StorageFilters& filters) {
  if (!record.owner.empty() && !FilterMatches(record.owner.view(), filters.owners)) return false;
  if (!record.note.empty() && !FilterMatches(record.note.view(), filters.notes)) return false;
  return true;
}

int CompareRecords(const RecordContents& a, const RecordContents& b, int column,
                   bool show_passwords) {
  switch (column) {
    case kColumnOwner: return CompareTextNoCase(a.owner.view(), b.owner.view());
    case kColumnPassword:
      return show_passwords ? CompareTextNoCase(a.password.view(), b.password.view()) : 0;
    case kColumnTime: return a.created < b.created ? -1 : (a.created > b.created ? 1 : 0);
    case kColumnNote: return CompareTextNoCase(a.note.view(), b.note.view());
    default: return 0;
  }
}

void SortRecords(std::vector<StoredRecord>& rows, int column, bool show_passwords) {
  std::stable_sort(rows.begin(), rows.end(), [&](const StoredRecord& a, const StoredRecord& b) {
    return CompareRecords(a.contents, b.contents, column, show_passwords) < 0;
  });
}

SecureString PasswordCell(const RecordContents& record, bool show_passwords) {
  if (show_passwords) return record.password;
  SecureString masked;
  masked.resize(record.password.size());
  std::fill(masked.data(), masked.data() + masked.size(), '*');
  return masked;
}

std::string FormatCreationTime(FileTime time, std::string_view format, bool day_first) {
  const CivilTime t = FileTimeToCivil(time);
  const long long values[] = {day_first ? t.day : t.month, day_first ? t.month : t.day, t.year,
                              t.hour, t.minute, t.second};
  std::size_t next = 0;
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    const bool zero_pad = j < format.size() && format[j] == '0';
    if (zero_pad) ++j;
    std::size_t width = 0;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9' && width < 100) {
      width = width * 10 + static_cast<std::size_t>(format[j] - '0');
      ++j;
    }
    if (j < format.size() && format[j] == 'd' && next < std::size(values)) {
      AppendNumber(out, values[next++], width, zero_pad);
      i = j;
    } else {
      out += '%';  // not a conversion this text knows: copy it as it stands
    }
  }
  return out;
}

std::string FormatCreationTime(FileTime time) {
  return FormatCreationTime(time, MessageText(Msg::TimeFormat),
                            std::strcmp(MessageText(Msg::DayFirst), "0") != 0);
}

Msg StorageErrorMessage(const Error& error, bool saving) {
  switch (error.code) {
    case Errc::Corrupted: return Msg::StorageCorrupted;
    case Errc::NotFound:
    case Errc::WrongPassword: return Msg::StorageChanged;
    case Errc::Busy: return Msg::StorageBusy;
    default: return saving ? Msg::StorageSaveFailed : Msg::StorageReadFailed;
  }
}

std::optional<Msg> RecordTextsMessage(std::string_view owner, std::string_view password,
                                      std::string_view note) {
  const auto problem = CheckRecordTexts(owner, password, note);
  if (!problem) return std::nullopt;
  return *problem == TextProblem::PasswordTooLong ? Msg::StoragePasswordTooLong
                                                  : Msg::StorageTextTooLong;
}

bool PasswordBook::Report(const Status& status, bool saving) {
  if (status) return true;
  notices_.push_back({StorageErrorMessage(status.error(), saving), BoxKind::Error, {}});
  return false;
}

bool PasswordBook::AfterChange(const Status& status) {
  if (status) {
    Reload();
    return true;
  }
  Report(status, true);
  // A file that no longer checks out under this login lists nothing.
  const Errc code = status.code();
  if (code == Errc::Corrupted || code == Errc::NotFound || code == Errc::WrongPassword) rows_.clear();
  return false;
}

bool PasswordBook::Reload() {
  rows_.clear();
  auto records = session_->ReadRecords();
  if (!records) return Report(records.error(), false);
  for (auto& record : *records) {
    if (PassesFilters(record.contents, filters)) rows_.push_back(std::move(record));
  }
  return true;
}

PasswordBook::RowTexts PasswordBook::Texts(std::size_t row) const {
  if (row >= rows_.size()) return {};
  const RecordContents& c = rows_[row].contents;
  return RowTexts{c.owner, PasswordCell(c, show_passwords), FormatCreationTime(c.created), c.note};
}

const StoredRecord* PasswordBook::Selected(std::optional<std::size_t> row) {
  if (!row || *row >= rows_.size()) {
    notices_.push_back({Msg::SelectItemFirst, BoxKind::Plain, {}});
    return nullptr;
  }
  return &rows_[*row];
}

bool PasswordBook::Add(std::string_view owner, std::string_view password, std::string_view note) {
  if (auto message = RecordTextsMessage(owner, password, note)) {
    notices_.push_back({*message, BoxKind::Error, {}});
    return false;
  }
  return AfterChange(session_->Add(owner, password, note));
}

bool PasswordBook::Edit(const StoredRecord& record, std::string_view password,
                        std::string_view note) {
  if (auto message = RecordTextsMessage({}, password, note)) {
    notices_.push_back({*message, BoxKind::Error, {}});
    return false;
  }
  return AfterChange(session_->Edit(record, password, note));
}

bool PasswordBook::Delete(std::optional<std::size_t> row) {
  const StoredRecord* record = Selected(row);
  if (record == nullptr) return false;
  if (!messages_->Confirm(Msg::ConfirmDeleteRecord)) return false;
  return AfterChange(session_->Remove(*record));
}

bool PasswordBook::ChangePassword(std::string_view new_password) {
  if (new_password.empty()) {
    notices_.push_back({Msg::EnterPassword, BoxKind::Error, {}});
    return false;
  }
  return AfterChange(session_->ChangePassword(new_password));
}

std::vector<Notice> PasswordBook::TakeNotices() {
  std::vector<Notice> out;
  out.swap(notices_);
  return out;
}

std::optional<Key256> PasswordBook::Choose(std::optional<std::size_t> row) {
  const StoredRecord* record = Selected(row);
  if (record == nullptr) return std::nullopt;
  return session_->PasswordKey(*record);
}

bool OpenPasswordStorage(StorageLogin& login, SettingsStore* settings, LoginDialogRunner& login_dialog,
                         StorageWindowRunner& window, MessageSink& messages, Key256* chosen) {
  // The first reload's failure waits in the book for the window to show.
  if (!login.LoggedIn() && !RunLogin(login, login_dialog)) return false;
  StorageWindowResult result;
  {
    PasswordBook book(*login.session(), messages);
    book.show_passwords = ReadShowPasswords(settings, false);
    book.Reload();
    result = window.RunStorageWindow(book, chosen != nullptr);
    WriteShowPasswords(settings, book.show_passwords);
  }
  if (result.logout) login.Logout();
  if (chosen == nullptr) return true;
  if (!result.chosen) return false;
  *chosen = *result.chosen;
  return true;
}

}  // namespace qvx::storage

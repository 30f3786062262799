// What the password storage window shows and does, without any window: the
// filtered list of records, the texts of a row, sorting, and the actions
// (add, edit, delete, change password, choose) with their messages. The Win32
// dialogs only move texts between their controls and this model.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "platform/secure.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "storage/account.h"
#include "storage/login.h"

namespace qvx::storage {

// Wildcard patterns for owners and notes (see FilterMatches); "*" lists all.
struct StorageFilters {
  std::string owners = "*";
  std::string notes = "*";
};

// An empty owner or note always passes its filter; other texts must match.
bool PassesFilters(const RecordContents& record, const StorageFilters& filters);

// List columns, in order.
enum StorageColumn : int { kColumnOwner = 0, kColumnPassword = 1, kColumnTime = 2, kColumnNote = 3 };

// Sort order of the list for a clicked column: owner, password and note
// compare without regard to letter case (CompareTextNoCase), the creation
// time as a number, earlier first. Hidden passwords never sort: with
// show_passwords false, column 1 reports every pair equal; so does any other
// column number.
int CompareRecords(const RecordContents& a, const RecordContents& b, int column,
                   bool show_passwords);

// Sorts ascending by a column; rows that compare equal keep their order.
void SortRecords(std::vector<StoredRecord>& rows, int column, bool show_passwords);

// The password cell: the password, or one '*' per character when hidden.
SecureString PasswordCell(const RecordContents& record, bool show_passwords);

// Creation time text: the FILETIME (already local time) broken into fields and
// put into the format, whose %0Nd conversions take month, day, year, hour,
// minute, second in turn (day and month swapped when day_first). Only %d
// conversions with an optional zero flag and width, and "%%", are expanded;
// anything else is copied as it stands.
std::string FormatCreationTime(FileTime time, std::string_view format, bool day_first);
// The same with the string table's format (96) and day/month order (97: "0"
// puts the month first, any other text the day).
std::string FormatCreationTime(FileTime time);

// The message that tells the user about a failed storage operation: 67 for a
// corrupted file, 244 when the file or record changed outside, 490 while
// another program holds the file's lock, 240/246 for
// texts a record cannot keep, 242 (saving) or 243 (reading) otherwise.
Msg StorageErrorMessage(const Error& error, bool saving);

// Why a record's texts cannot be stored, as the message to show.
std::optional<Msg> RecordTextsMessage(std::string_view owner, std::string_view password,
                                      std::string_view note);

class PasswordBook {
 public:
  // The session must outlive the book. Filters start as "*". `messages` is
  // asked the book's questions; what the user is to be told is collected in
  // order and taken by the window (TakeNotices) after each action.
  PasswordBook(StorageSession& session, MessageSink& messages)
      : session_(&session), messages_(&messages) {}

  StorageFilters filters;
  bool show_passwords = false;

  // Reads the file again: the records that pass the filters, in file order.
  // On failure the list is empty and the message waits in the notices.
  bool Reload();
  const std::vector<StoredRecord>& rows() const { return rows_; }

  struct RowTexts {
    SecureString owner;
    SecureString password;  // in clear or masked, as the list shows it
    std::string created;
    SecureString note;
  };
  RowTexts Texts(std::size_t row) const;

  void Sort(int column) { SortRecords(rows_, column, show_passwords); }
  void ToggleShowPasswords() { show_passwords = !show_passwords; }

  // The selected row; notes "Select item first!" and returns nullptr when
  // none is selected (or the index is out of range).
  const StoredRecord* Selected(std::optional<std::size_t> row);

  // The actions. Each returns true when it was carried out; the messages of
  // failures wait in the notices. Every change reloads the list.
  bool Add(std::string_view owner, std::string_view password, std::string_view note);
  bool Edit(const StoredRecord& record, std::string_view password, std::string_view note);
  // Asks "Are you sure you want to delete this password record?" first.
  bool Delete(std::optional<std::size_t> row);
  bool ChangePassword(std::string_view new_password);
  // Choosing from the storage: SHA-256 of the selected row's password.
  std::optional<Key256> Choose(std::optional<std::size_t> row);

  // The messages for the user since the last call, in the order they arose;
  // the window shows them.
  std::vector<Notice> TakeNotices();

 private:
  bool Report(const Status& status, bool saving);
  bool AfterChange(const Status& status);

  StorageSession* session_;
  MessageSink* messages_;
  std::vector<StoredRecord> rows_;
  std::vector<Notice> notices_;
};

// How the storage window ended.
struct StorageWindowResult {
  std::optional<Key256> chosen;  // choosing: the key of the chosen record
  bool logout = false;           // "Logout" or "Unlink password storage"
};

// Runs the storage window over a book (the Win32 dialog; scripted in tests).
// choosing: opened from a password prompt, OK hands back a record's key.
class StorageWindowRunner {
 public:
  virtual ~StorageWindowRunner() = default;
  virtual StorageWindowResult RunStorageWindow(PasswordBook& book, bool choosing) = 0;
};

// Opens the password storage: logs in first when nobody is logged in (false
// when that fails), shows the window with fresh "*" filters and the
// "show_passwords" setting, writes the setting back, and ends the login when
// the window asked for it. Browsing (chosen null): true once the window ran.
// Choosing: true only when a record was chosen, its key then in *chosen.
bool OpenPasswordStorage(StorageLogin& login, SettingsStore* settings, LoginDialogRunner& login_dialog,
                         StorageWindowRunner& window, MessageSink& messages, Key256* chosen);

}  // namespace qvx::storage

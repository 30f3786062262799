// End-to-end support for the password storage dialogs: a private copy of
// Quorvix.exe in a fresh folder (so its account, association and key files
// start empty and go away afterwards), accounts made with the storage core,
// and driving the login and storage windows.
#pragma once

#include <string>
#include <vector>

#include "storage/account.h"
#include "tests/support/e2e/e2e.h"

namespace qvx::e2e {

// Control ids and titles of the storage dialogs.
namespace storage_ui {
inline constexpr const char* kLoginTitle = "Passwords Storage Login";
inline constexpr const char* kStorageTitle = "Password Storage";
inline constexpr int kLoginName = 1002, kLoginPassword = 1003;
inline constexpr int kList = 1017, kShow = 1005, kAdd = 1004, kEdit = 1027, kDelete = 1001,
                     kLogout = 1013, kFind = 1028, kFilterText = 1040;
inline constexpr int kRecordText = 1002, kRecordBack = 1001, kRecordShow = 1005, kRecordNote = 1003;
inline constexpr int kFilterOwners = 1002, kFilterOwnersSet = 1001, kFilterNotes = 1003,
                     kFilterNotesSet = 1004;
inline constexpr UINT kTrayStorage = 40067;
inline constexpr UINT kMenuChangePassword = 40060, kMenuShowPasswords = 40061, kMenuFilters = 40062,
                      kMenuUnlink = 40068, kMenuExit = 40059;
// The system's Find dialog: its text edit and "Find Next".
inline constexpr int kFindText = 1152;
}  // namespace storage_ui

// A folder of its own holding a copy of Quorvix.exe; removed with everything
// in it when the object goes.
class ProgramCopy {
 public:
  ProgramCopy();
  ~ProgramCopy();
  ProgramCopy(const ProgramCopy&) = delete;
  ProgramCopy& operator=(const ProgramCopy&) = delete;

  const std::string& folder() const { return folder_; }
  std::string program() const { return folder_ + "\\Quorvix.exe"; }
  std::string File(const std::string& name) const { return folder_ + "\\" + name; }
  Quorvix Launch(const std::string& args = {}) const {
    return Quorvix::LaunchProgram(program(), args);
  }

 private:
  std::string folder_;
};

// An account beside the program with records "owner<i>" / "pw<i>" / "note<i>".
void MakeAccount(const ProgramCopy& program, const std::string& name, const std::string& password,
                 int records);
// Adds a record to an account.
void AddRecord(const ProgramCopy& program, const std::string& account, const std::string& password,
               const std::string& owner, const std::string& record_password,
               const std::string& note);
// The owners of an account's records in file order (empty on failure).
std::vector<std::string> AccountOwners(const ProgramCopy& program, const std::string& account,
                                       const std::string& password);

// Fills the login dialog and presses OK.
void SubmitLogin(const DialogDriver& login, const std::string& name, const std::string& password);

// The rows of the storage list: "S"/"-" then owner, password, time, note.
std::vector<std::vector<std::string>> StorageRows(const DialogDriver& storage);
// The owner column of the rows.
std::vector<std::string> StorageOwners(const DialogDriver& storage);
// Index of the selected row, -1 when none.
int SelectedRow(const DialogDriver& storage);

// The centre of a list cell on the screen ({-1, -1} when there is no such cell).
POINT CellCenter(HWND list, int row, int column);
// Clicks a row of the storage list, and waits until it is selected.
bool ClickRow(const DialogDriver& storage, int row);
// Clicks the header of a column of the storage list until `done` holds (a
// click on a header sorts by that column, so a second one changes nothing).
bool ClickColumnHeader(const DialogDriver& storage, int column, const std::function<bool()>& done);

// A menu item of a window's menu bar by command id (nullptr if none).
const MenuItem* MenuItemById(const std::vector<MenuItem>& menu, UINT id);

}  // namespace qvx::e2e

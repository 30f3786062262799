// End-to-end support for the password storage dialogs.
#include "tests/storage/e2e/storage_e2e.h"

#include <shellapi.h>

#include "platform/files.h"

namespace qvx::e2e {

namespace {

storage::AccountFolder Accounts(const ProgramCopy& program) {
  return storage::AccountFolder(NativeFileSystem(), program.folder());
}

void DeleteTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

ProgramCopy::ProgramCopy() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  for (unsigned n = GetTickCount() % 100000;; ++n) {
    folder_ = std::string(temp) + "qvx-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(n);
    if (CreateDirectoryA(folder_.c_str(), nullptr)) break;
  }
  EXPECT_TRUE(CopyFileA(QuorvixPath().c_str(), program().c_str(), TRUE)) << program();
}

ProgramCopy::~ProgramCopy() {
  // The program may take a moment to let go of its file after it ended.
  WaitUntil(
      [&] {
        DeleteTree(folder_);
        return GetFileAttributesA(folder_.c_str()) == INVALID_FILE_ATTRIBUTES;
      },
      5000);
}

void MakeAccount(const ProgramCopy& program, const std::string& name, const std::string& password,
                 int records) {
  auto session = storage::CreateAccount(Accounts(program), name, password);
  ASSERT_TRUE(session) << session.error().detail;
  for (int i = 1; i <= records; ++i) {
    const std::string n = std::to_string(i);
    ASSERT_TRUE(session->Add("owner" + n, "pw" + n, "note" + n));
  }
}

void AddRecord(const ProgramCopy& program, const std::string& account, const std::string& password,
               const std::string& owner, const std::string& record_password,
               const std::string& note) {
  auto session = storage::OpenAccount(Accounts(program), account, password);
  ASSERT_TRUE(session) << session.error().detail;
  ASSERT_TRUE(session->Add(owner, record_password, note));
}

std::vector<std::string> AccountOwners(const ProgramCopy& program, const std::string& account,
                                       const std::string& password) {
  std::vector<std::string> owners;
  auto session = storage::OpenAccount(Accounts(program), account, password);
  if (!session) return owners;
  auto records = session->ReadRecords();
  if (!records) return owners;
  for (const auto& r : *records) owners.emplace_back(r.contents.owner.view());
  return owners;
}

void SubmitLogin(const DialogDriver& login, const std::string& name, const std::string& password) {
  login.SetText(storage_ui::kLoginName, name);
  login.SetText(storage_ui::kLoginPassword, password);
  login.Click(IDOK);
}

std::vector<std::vector<std::string>> StorageRows(const DialogDriver& storage) {
  return ReadListView(storage.Control(storage_ui::kList));
}

std::vector<std::string> StorageOwners(const DialogDriver& storage) {
  std::vector<std::string> owners;
  for (const auto& row : StorageRows(storage)) owners.push_back(row.size() > 1 ? row[1] : "");
  return owners;
}

int SelectedRow(const DialogDriver& storage) {
  const auto rows = StorageRows(storage);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].empty() && rows[i][0] == "S") return static_cast<int>(i);
  }
  return -1;
}

POINT CellCenter(HWND list, int row, int column) {
  const auto cells = ListViewCellRects(list);
  if (row < 0 || static_cast<std::size_t>(row) >= cells.size() || column < 0 ||
      static_cast<std::size_t>(column) >= cells[static_cast<std::size_t>(row)].size()) {
    return POINT{-1, -1};
  }
  const RECT r = cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// What lies under a point on the screen, for a click that was lost.
std::string WhatIsAt(POINT p) {
  const HWND at = WindowFromPoint(p);
  return ClassOf(at) + " \"" + TextOf(at) + "\" in \"" + TextOf(GetAncestor(at, GA_ROOT)) + "\"";
}

bool ClickRow(const DialogDriver& storage, int row) {
  // A click can be lost while the window is still coming forward on a busy
  // machine: try again a few times before giving up.
  for (int attempt = 0; attempt < 3; ++attempt) {
    BringToForeground(storage.hwnd());
    const POINT p = CellCenter(storage.Control(storage_ui::kList), row, 0);
    if (p.x < 0) return false;
    ClickAt(p);
    if (WaitUntil([&] { return SelectedRow(storage) == row; }, 3000)) return true;
    std::fprintf(stderr, "a click on row %d was lost: %s\n", row, WhatIsAt(p).c_str());
  }
  SaveScreenshot(nullptr, "click-row-failed");
  return false;
}

bool ClickColumnHeader(const DialogDriver& storage, int column, const std::function<bool()>& done) {
  const HWND list = storage.Control(storage_ui::kList);
  const HWND header = FindWindowExA(list, nullptr, "SysHeader32", nullptr);
  if (header == nullptr) return false;
  for (int attempt = 0; attempt < 3; ++attempt) {
    BringToForeground(storage.hwnd());
    RECT h{};
    GetWindowRect(header, &h);
    const POINT cell = CellCenter(list, 0, column);
    if (cell.x < 0) return false;
    const POINT p{cell.x, (h.top + h.bottom) / 2};
    ClickAt(p);
    if (WaitUntil(done, 3000)) return true;
    std::fprintf(stderr, "a click on the header of column %d was lost: %s\n", column,
                 WhatIsAt(p).c_str());
  }
  SaveScreenshot(nullptr, "click-header-failed");
  return false;
}

const MenuItem* MenuItemById(const std::vector<MenuItem>& menu, UINT id) {
  for (const MenuItem& item : menu) {
    if (!item.separator && !item.submenu && item.id == id) return &item;
  }
  return nullptr;
}

}  // namespace qvx::e2e

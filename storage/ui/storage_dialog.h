// The password storage window (resource 134, menu 137): the account's records
// in a list with the buttons and menu commands that add, edit, delete, find,
// filter and sort them, show or hide the passwords, change the account
// password and log out. Opened for choosing, OK (Enter, a double click) hands
// back the chosen record's key and closes.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "win32ui/dialog.h"
#include "win32ui/list_find.h"
#include "storage/book.h"
#include "storage/ui/record_dialogs.h"

namespace qvx::storage::ui {

class StorageDialog final : public win32ui::ModalDialog, public StorageWindowRunner {
 public:
  // owner: the window the storage is opened over (disabled while it runs).
  StorageDialog(DialogContext context, HWND owner, std::function<void(HWND)> on_window)
      : context_(context), owner_(owner), on_window_(std::move(on_window)) {}
  ~StorageDialog() override;

  StorageWindowResult RunStorageWindow(PasswordBook& book, bool choosing) override;

 protected:
  bool OnInit() override;
  void OnCommand(int id, int code) override;
  void OnClose() override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR& result) override;

 private:
  HWND List() const;
  // The context of the dialogs this one opens: owned by it.
  DialogContext Children() const;
  void Fill(std::optional<std::size_t> keep_record = std::nullopt);
  void ShowFilters();
  std::optional<std::size_t> SelectedRow() const;
  void Reload();
  // Shows what the book has to tell since the last call, in order.
  void TellBookNotices();
  void ToggleShowPasswords();
  void Add();
  void Edit();
  void Delete();
  void ChangePassword();
  void Filters();
  void Choose();
  void Activate();  // Enter or double click on a row
  void Finish(INT_PTR result);
  bool OnNotify(const NMHDR& header);

  DialogContext context_;
  HWND owner_;
  std::function<void(HWND)> on_window_;
  PasswordBook* book_ = nullptr;
  bool choosing_ = false;
  StorageWindowResult result_;
  std::unique_ptr<win32ui::ListFind> find_;
};

}  // namespace qvx::storage::ui

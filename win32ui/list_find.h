// The Find command of the list dialogs (key lists, password storage): the
// system's modeless Find dialog over a report list view, searching the cells
// of its first columns (rules in shell/model/list_search.h). Each list dialog
// owns one ListFind for its list, so searches in different dialogs never
// share a state.
//
// Use from a dialog:
//   OnInit:      find_.emplace(Item(IDC_LIST), columns, instance());
//   "Find" (1028), Ctrl+F, F3 on the list:   find_->Find();
//   every other message:  if (find_ && find_->HandleMessage(message, lparam)) handled;
// The Find dialog is owned by the list's dialog and closes with it at the
// latest when the ListFind is destroyed.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <functional>
#include <optional>
#include <string>

#include "qvx/strings.h"
#include "win32ui/model/list_search.h"

namespace qvx::win32ui {

class ListFind {
 public:
  // How a search tells the user about its result: "Select item first!" (the
  // list is empty; no owner) and "Cannot find string ..." (owned by the list).
  // The default shows exclamation message boxes titled "Quorvix".
  using Notice = std::function<void(Msg id, const std::string& text, HWND owner)>;

  ListFind(HWND list, int columns, HINSTANCE instance, Notice notice = {});
  ~ListFind();
  ListFind(const ListFind&) = delete;
  ListFind& operator=(const ListFind&) = delete;

  // The Find command: opens the Find dialog, or searches again with its text
  // when it is open.
  void Find();

  // For the dialog procedure of the list's dialog: handles the Find dialog's
  // registered message ("commdlg_FindReplace") when it belongs to this list.
  bool HandleMessage(UINT message, LPARAM lparam);

  // The Find dialog while it is open.
  HWND find_window() const { return find_window_; }

  // The registered message number of the Find dialog.
  static UINT FindMessage();

 private:
  void Search();
  void Report(Msg id, const std::string& arg, HWND owner);
  void AfterFailure();
  std::optional<int> SelectedRow() const;
  void SelectRow(int row);

  HWND list_;
  int columns_;
  HINSTANCE instance_;
  Notice notice_;
  FINDREPLACEA request_{};
  char text_[256] = {};
  FindOptions options_;  // kept from one Find dialog to the next
  SearchMemory memory_;
  HWND find_window_ = nullptr;
};

}  // namespace qvx::win32ui

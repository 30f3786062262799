// The key list (control 1017) of the selection dialog and the key manager:
// report view with the five columns, grid lines, full-row selection and the
// key icon; filled afresh from the key store, sorted by a click on a column
// header. Each dialog owns one; it owns the rows and the image list.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <vector>

#include "keys/key_store.h"
#include "keys/ui/keys_ui.h"
#include "keys/ui/model/key_list.h"
#include "win32ui/list_find.h"

namespace qvx::keys::ui {

class KeyListView {
 public:
  explicit KeyListView(KeysUi& ui) : ui_(ui) {}
  KeyListView(const KeyListView&) = delete;
  KeyListView& operator=(const KeyListView&) = delete;
  ~KeyListView();

  // Sets up the list control of a dialog: columns sized from its width at
  // this moment, styles, the key icon, and the list tools when there are
  // any. The Find button (1028) is enabled only with them.
  void Attach(HWND dialog);
  // The dialog is being destroyed (WM_DESTROY): lets go of the list tools
  // while the list still exists.
  void Detach();

  // Reads the keys of a kind from the store again and shows them, in the
  // order of the column last clicked (directory order before any click).
  void Fill(KeyKind kind);
  // The same kind again (after a change to the store).
  void Refill() { Fill(kind_); }
  KeyKind kind() const { return kind_; }

  // The selected key; nullptr when none is selected.
  const KeyEntry* Selected() const;
  // The path the dialogs hand out for the selected key: the private key file
  // of "My key" entries, the public key file of "Other key" entries.
  std::optional<std::string> SelectedPath() const;

  // Gives every row a check box, for choosing several keys at once (the
  // recipients of a hardened block). Call after Attach.
  void EnableCheckBoxes();
  // The keys whose box is checked, in display order.
  std::vector<const KeyEntry*> Checked() const;

  // What a notification from the list asks its dialog to do.
  enum class Request { None, Activate, Delete, Find };
  // WM_NOTIFY from the list; sorts on a column click by itself.
  Request OnNotify(const NMHDR& header);

  // The list tools (Find, balloons) see the dialog's messages first; true
  // when a message was theirs.
  bool OnDialogMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // Everything a dialog with this list does with its messages the same way:
  // the list tools' messages, detaching on WM_DESTROY, and the list's
  // notifications, of which Activate and Delete go to the dialog's own
  // actions. True when the message was handled (`result` is then set).
  bool HandleDialogMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR& result,
                           const std::function<void()>& activate,
                           const std::function<void()>& remove);
  // The Find command on the list (button, Ctrl+F, F3).
  void Find();

  HWND list() const { return list_; }

 private:
  void ShowRows();
  void SortBy(KeyColumn column);

  KeysUi& ui_;
  HWND dialog_ = nullptr;
  HWND list_ = nullptr;
  HIMAGELIST images_ = nullptr;
  KeyListTexts texts_;
  KeyKind kind_ = KeyKind::Mine;
  std::vector<KeyEntry> keys_;  // in display order: item i shows keys_[i]
  std::optional<KeyColumn> sorted_by_;
  std::unique_ptr<win32ui::ListFind> find_;
};

}  // namespace qvx::keys::ui

// The password storage window.
#include "storage/ui/storage_dialog.h"

#include <commctrl.h>

#include <string>

#include "resources/shell_ids.h"
#include "resources/storage_ids.h"
#include "win32ui/balloon.h"
#include "win32ui/list_rows.h"
#include "win32ui/screen_privacy.h"
#include "win32ui/tooltips.h"
#include "win32ui/win32_util.h"

namespace qvx::storage::ui {

namespace {

constexpr int kColumns = 4;
constexpr const char* kEnterProperty = "QvxListTakesEnter";

std::string Text(HINSTANCE instance, Msg id) {
  std::string text = win32ui::LoadResourceString(instance, static_cast<UINT>(id));
  return text.empty() ? std::string(MessageText(id)) : text;
}

// Enter on the list goes to the list (which tells the dialog with NM_RETURN)
// instead of pressing the dialog's default button.
LRESULT CALLBACK EnterListProc(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
  const auto old_proc = reinterpret_cast<WNDPROC>(GetPropA(list, kEnterProperty));
  if (old_proc == nullptr) return DefWindowProcA(list, message, wparam, lparam);
  if (message == WM_GETDLGCODE) {
    const auto* msg = reinterpret_cast<const MSG*>(lparam);
    LRESULT code = CallWindowProcA(old_proc, list, message, wparam, lparam);
    if (msg != nullptr && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
      code |= DLGC_WANTMESSAGE;
    return code;
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_proc));
    RemovePropA(list, kEnterProperty);
  }
  return CallWindowProcA(old_proc, list, message, wparam, lparam);
}

void ListTakesEnter(HWND list) {
  const auto old_proc = GetWindowLongPtrA(list, GWLP_WNDPROC);
  if (!SetPropA(list, kEnterProperty, reinterpret_cast<HANDLE>(old_proc))) return;
  SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EnterListProc));
}

}  // namespace

StorageDialog::~StorageDialog() = default;

StorageWindowResult StorageDialog::RunStorageWindow(PasswordBook& book, bool choosing) {
  book_ = &book;
  choosing_ = choosing;
  result_ = StorageWindowResult{};
  TellBookNotices();  // the first reading's failure, before the window opens
  Run(context_.instance, IDD_STORAGE, owner_);
  book_ = nullptr;
  return std::move(result_);
}

HWND StorageDialog::List() const { return Item(IDC_STORAGE_LIST); }

DialogContext StorageDialog::Children() const {
  DialogContext children = context_;
  children.owner = window();
  return children;
}

bool StorageDialog::OnInit() {
  if (on_window_) on_window_(window());
  win32ui::ProtectFromCapture(window(), *context_.privacy);

  HWND list = List();
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
               LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  RECT client;
  GetClientRect(list, &client);
  const Msg titles[kColumns] = {Msg::ColumnOwner, Msg::ColumnPassword, Msg::ColumnCreationTime,
                                Msg::ColumnNote};
  for (int column = 0; column < kColumns; ++column) {
    std::string title = Text(context_.instance, titles[column]);
    LVCOLUMNA c{};
    c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    c.fmt = LVCFMT_LEFT;
    c.cx = (client.right - client.left) / kColumns;
    c.pszText = title.data();
    c.iSubItem = column;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&c));
  }
  // Every row shows the storage icon; the list owns the image list.
  HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                       ILC_COLOR32 | ILC_MASK, 1, 1);
  if (images != nullptr) {
    ImageList_AddIcon(images, win32ui::LoadSmallIcon(context_.instance, IDI_STORAGE));
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
  }
  win32ui::SubclassListForBalloon(list);
  ListTakesEnter(list);
  find_ = std::make_unique<win32ui::ListFind>(list, kColumns, context_.instance);

  SetChecked(IDC_STORAGE_SHOW, book_->show_passwords);
  CheckMenuItem(GetMenu(window()), IDM_STORAGE_SHOW_PASSWORDS,
                MF_BYCOMMAND | (book_->show_passwords ? MF_CHECKED : MF_UNCHECKED));
  Fill();
  ShowFilters();
  win32ui::AttachTooltips(window(), {{IDC_STORAGE_ADD, Msg::TipAddRecord},
                                   {IDC_STORAGE_EDIT, Msg::TipEditRecord},
                                   {IDC_STORAGE_DELETE, Msg::TipDeleteRecord},
                                   {IDC_STORAGE_LOGOUT, Msg::TipLogout},
                                   {IDC_STORAGE_FIND, Msg::TipFindRecord}});
  SetFocus(list);
  return false;
}

void StorageDialog::Fill(std::optional<std::size_t> keep_record) {
  HWND list = List();
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  const auto& rows = book_->rows();
  int select = -1;
  for (std::size_t row = 0; row < rows.size(); ++row) {
    PasswordBook::RowTexts texts = book_->Texts(row);
    // The list takes zero-terminated texts; the copies stay in wiped memory.
    SecureString owner = texts.owner;
    owner.append(std::string_view("\0", 1));
    SecureString note = texts.note;
    note.append(std::string_view("\0", 1));
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = static_cast<int>(row);
    item.pszText = owner.data();
    item.iImage = 0;
    item.lParam = static_cast<LPARAM>(row);
    const int at =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (at < 0) continue;
    SecureString password = texts.password;
    password.append(std::string_view("\0", 1));
    win32ui::SetListCell(list, at, 1, password.data());
    win32ui::SetListCell(list, at, 2, texts.created.data());
    win32ui::SetListCell(list, at, 3, note.data());
    if (keep_record && rows[row].index == *keep_record) select = at;
  }
  if (select >= 0) win32ui::SelectListRow(list, select);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void StorageDialog::ShowFilters() {
  const StorageFilters& f = book_->filters;
  const std::string text = Text(context_.instance, Msg::CurrentFilter) +
                           Text(context_.instance, Msg::ColumnOwner) + " \"" + f.owners + "\", " +
                           Text(context_.instance, Msg::ColumnNote) + " \"" + f.notes + "\"";
  SetWindowTextA(Item(IDC_STORAGE_FILTER), text.c_str());
}

std::optional<std::size_t> StorageDialog::SelectedRow() const {
  const LRESULT at = SendMessageA(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  if (at < 0) return std::nullopt;
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = static_cast<int>(at);
  if (!SendMessageA(List(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return std::nullopt;
  return static_cast<std::size_t>(item.lParam);
}

void StorageDialog::Reload() {
  std::optional<std::size_t> keep;
  if (const auto row = SelectedRow(); row && *row < book_->rows().size())
    keep = book_->rows()[*row].index;
  book_->Reload();
  TellBookNotices();
  Fill(keep);
}

void StorageDialog::TellBookNotices() { ShowNotices(*context_.messages, book_->TakeNotices()); }

void StorageDialog::ToggleShowPasswords() {
  book_->ToggleShowPasswords();
  SetChecked(IDC_STORAGE_SHOW, book_->show_passwords);
  CheckMenuItem(GetMenu(window()), IDM_STORAGE_SHOW_PASSWORDS,
                MF_BYCOMMAND | (book_->show_passwords ? MF_CHECKED : MF_UNCHECKED));
  Reload();
}

void StorageDialog::Add() {
  auto record = RunNewRecordWizard(Children());
  if (!record) return;
  const bool added_record = book_->Add(record->owner.view(), record->password.view(), record->note.view());
  TellBookNotices();
  if (!added_record) {
    Fill();
    return;
  }
  // The new record is the last one of the file.
  std::optional<std::size_t> added;
  for (const StoredRecord& r : book_->rows()) {
    if (!added || r.index > *added) added = r.index;
  }
  Fill(added);
}

void StorageDialog::Edit() {
  const StoredRecord* selected = book_->Selected(SelectedRow());
  TellBookNotices();
  if (selected == nullptr) return;
  const StoredRecord record = *selected;
  auto edited = RunEditRecordDialog(Children(), record.contents, book_->show_passwords);
  if (!edited) return;
  book_->Edit(record, edited->password.view(), edited->note.view());
  TellBookNotices();
  Fill(record.index);
}

void StorageDialog::Delete() {
  const bool deleted = book_->Delete(SelectedRow());
  TellBookNotices();
  if (!deleted) return;
  Fill();
}

void StorageDialog::ChangePassword() {
  auto password = RunChangePasswordDialog(Children());
  if (!password) return;
  std::optional<std::size_t> keep;
  if (const auto row = SelectedRow(); row && *row < book_->rows().size())
    keep = book_->rows()[*row].index;
  book_->ChangePassword(password->view());
  TellBookNotices();
  Fill(keep);
}

void StorageDialog::Filters() {
  RunFiltersDialog(Children(), book_->filters);
  ShowFilters();
  Reload();
}

void StorageDialog::Choose() {
  auto key = book_->Choose(SelectedRow());
  TellBookNotices();
  if (!key) return;
  result_.chosen = *key;
  Finish(IDOK);
}

void StorageDialog::Activate() {
  if (choosing_) {
    Choose();
  } else {
    Edit();
  }
}

void StorageDialog::Finish(INT_PTR result) {
  find_.reset();  // closes the Find dialog
  if (on_window_) on_window_(nullptr);
  End(result);
}

void StorageDialog::OnClose() { Finish(IDCANCEL); }

void StorageDialog::OnCommand(int id, int code) {
  switch (id) {
    case IDOK:
      if (choosing_) {
        Choose();
      } else {
        Finish(IDOK);
      }
      return;
    case IDCANCEL:
    case IDM_STORAGE_EXIT:
      Finish(IDCANCEL);
      return;
    case IDC_STORAGE_ADD:
    case IDM_STORAGE_ADD:
      Add();
      return;
    case IDC_STORAGE_EDIT:
    case IDM_STORAGE_EDIT:
      Edit();
      return;
    case IDC_STORAGE_DELETE:
    case IDM_STORAGE_DELETE:
      Delete();
      return;
    case IDC_STORAGE_SHOW:
      if (code == BN_CLICKED) ToggleShowPasswords();
      return;
    case IDM_STORAGE_SHOW_PASSWORDS:
      ToggleShowPasswords();
      return;
    case IDC_STORAGE_LOGOUT:
    case IDM_STORAGE_UNLINK:
      result_.logout = true;
      Finish(IDCANCEL);
      return;
    case IDC_STORAGE_FIND:
    case IDM_STORAGE_FIND:
      if (find_) find_->Find();
      return;
    case IDM_STORAGE_CHANGE_PASSWORD:
      ChangePassword();
      return;
    case IDM_STORAGE_FILTERS:
      Filters();
      return;
    default:
      return;
  }
}

bool StorageDialog::OnNotify(const NMHDR& header) {
  if (header.idFrom != IDC_STORAGE_LIST) return false;
  switch (header.code) {
    case LVN_KEYDOWN: {
      const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
      if (key.wVKey == VK_DELETE) Delete();
      if (key.wVKey == VK_F3 || (key.wVKey == 'F' && GetKeyState(VK_CONTROL) < 0)) {
        if (find_) find_->Find();
      }
      return true;
    }
    case LVN_COLUMNCLICK: {
      const auto& click = reinterpret_cast<const NMLISTVIEW&>(header);
      std::optional<std::size_t> keep;
      if (const auto row = SelectedRow(); row && *row < book_->rows().size()) {
        keep = book_->rows()[*row].index;
      }
      book_->Sort(click.iSubItem);
      Fill(keep);
      return true;
    }
    case NM_DBLCLK: {
      const auto& item = reinterpret_cast<const NMITEMACTIVATE&>(header);
      if (item.iItem >= 0) Activate();
      return true;
    }
    case NM_RETURN:
      Activate();
      return true;
    default:
      return false;
  }
}

bool StorageDialog::OnMessage(UINT message, WPARAM, LPARAM lparam, INT_PTR& result) {
  result = 0;
  if (message == WM_NOTIFY) return OnNotify(*reinterpret_cast<const NMHDR*>(lparam));
  return find_ && find_->HandleMessage(message, lparam);
}

}  // namespace qvx::storage::ui

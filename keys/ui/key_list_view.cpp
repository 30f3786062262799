// The key list of the selection dialog and the key manager.
#include "keys/ui/key_list_view.h"

#include "resources/keys_ids.h"
#include "resources/shell_ids.h"
#include "win32ui/balloon.h"
#include "win32ui/list_rows.h"

namespace qvx::keys::ui {

namespace {

// Owners and notes in the order the system sorts names, ignoring case.
int SystemTextOrder(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str());
}

}  // namespace

KeyListView::~KeyListView() {
  if (images_ != nullptr) ImageList_Destroy(images_);
}

void KeyListView::Attach(HWND dialog) {
  dialog_ = dialog;
  list_ = GetDlgItem(dialog, IDC_KEY_LIST);
  texts_.timeFormat = ui_.Text(Msg::TimeFormat);
  texts_.day_first = DayFirstFromText(ui_.Text(Msg::DayFirst));
  texts_.my_key = ui_.Text(Msg::KindMyKey);
  texts_.other_key = ui_.Text(Msg::KindOtherKey);

  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
               LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  RECT client{};
  GetClientRect(list_, &client);
  for (std::size_t i = 0; i < kKeyColumnCount; ++i) {
    std::string title = ui_.Text(KeyColumns()[i].title);
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = title.data();
    column.cx = KeyColumnWidth(i, client.right - client.left);
    column.iSubItem = static_cast<int>(i);
    SendMessageA(list_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }

  const int cx = GetSystemMetrics(SM_CXSMICON);
  const int cy = GetSystemMetrics(SM_CYSMICON);
  images_ = ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 1, 1);
  if (images_ != nullptr) {
    if (HICON icon = static_cast<HICON>(
            LoadImageA(ui_.instance(), MAKEINTRESOURCEA(IDI_KEY), IMAGE_ICON, cx, cy, 0))) {
      ImageList_AddIcon(images_, icon);
      DestroyIcon(icon);
    }
    SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
  }

  find_ = std::make_unique<win32ui::ListFind>(list_, static_cast<int>(kKeyColumnCount),
                                              ui_.instance());
  win32ui::SubclassListForBalloon(list_);
}

void KeyListView::Detach() {
  find_.reset();
  list_ = nullptr;
}

void KeyListView::Fill(KeyKind kind) {
  kind_ = kind;
  keys_ = ui_.store().List(kind);
  if (sorted_by_) SortKeys(keys_, *sorted_by_, SystemTextOrder);
  ShowRows();
}

void KeyListView::ShowRows() {
  if (list_ == nullptr) return;
  // The key selected before stays selected when it is still listed.
  std::optional<KeyId> selected;
  if (const KeyEntry* entry = Selected()) selected = entry->header.id;

  SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    KeyRowCells cells = KeyCells(keys_[i].header, kind_, texts_);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = static_cast<int>(i);
    item.pszText = cells[0].data();
    item.iImage = 0;
    item.lParam = static_cast<LPARAM>(i);
    const auto row = SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    if (row < 0) continue;
    for (std::size_t column = 1; column < kKeyColumnCount; ++column) {
      win32ui::SetListCell(list_, static_cast<int>(row), static_cast<int>(column),
                         cells[column].data());
    }
    if (selected && keys_[i].header.id == *selected) {
      win32ui::SelectListRow(list_, static_cast<int>(row));
    }
  }
  SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

const KeyEntry* KeyListView::Selected() const {
  if (list_ == nullptr) return nullptr;
  const auto row = SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  if (row < 0) return nullptr;
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = static_cast<int>(row);
  if (!SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  const auto index = static_cast<std::size_t>(item.lParam);
  return index < keys_.size() ? &keys_[index] : nullptr;
}

void KeyListView::EnableCheckBoxes() {
  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
}

std::vector<const KeyEntry*> KeyListView::Checked() const {
  std::vector<const KeyEntry*> out;
  if (list_ == nullptr) return out;
  const auto rows = SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0);
  for (LRESULT row = 0; row < rows; ++row) {
    // The check box is state image 2 (1 is unchecked).
    const auto state = SendMessageA(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
    if (((static_cast<UINT>(state) & LVIS_STATEIMAGEMASK) >> 12) != 2) continue;
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = static_cast<int>(row);
    if (!SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) continue;
    const auto index = static_cast<std::size_t>(item.lParam);
    if (index < keys_.size()) out.push_back(&keys_[index]);
  }
  return out;
}

std::optional<std::string> KeyListView::SelectedPath() const {
  const KeyEntry* entry = Selected();
  if (entry == nullptr) return std::nullopt;
  return kind_ == KeyKind::Mine ? entry->private_path : entry->public_path;
}

void KeyListView::SortBy(KeyColumn column) {
  sorted_by_ = column;
  SortKeys(keys_, column, SystemTextOrder);
  ShowRows();
}

KeyListView::Request KeyListView::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != list_ || list_ == nullptr) return Request::None;
  switch (header.code) {
    case LVN_COLUMNCLICK: {
      const auto& click = reinterpret_cast<const NMLISTVIEW&>(header);
      if (click.iSubItem >= 0 && static_cast<std::size_t>(click.iSubItem) < kKeyColumnCount) {
        SortBy(static_cast<KeyColumn>(click.iSubItem));
      }
      return Request::None;
    }
    case NM_DBLCLK: {
      const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
      return activate.iItem >= 0 ? Request::Activate : Request::None;
    }
    case LVN_KEYDOWN: {
      const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
      if (key.wVKey == VK_DELETE) return Request::Delete;
      if (key.wVKey == VK_F3) return Request::Find;
      if (key.wVKey == 'F' && (GetKeyState(VK_CONTROL) & 0x8000) != 0) return Request::Find;
      return Request::None;
    }
    default:
      return Request::None;
  }
}

bool KeyListView::OnDialogMessage(UINT message, WPARAM, LPARAM lparam) {
  return find_ != nullptr && find_->HandleMessage(message, lparam);
}

bool KeyListView::HandleDialogMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR& result,
                                      const std::function<void()>& activate,
                                      const std::function<void()>& remove) {
  if (OnDialogMessage(message, wparam, lparam)) return true;
  if (message == WM_DESTROY) {
    Detach();
    return false;
  }
  if (message != WM_NOTIFY) return false;
  switch (OnNotify(*reinterpret_cast<const NMHDR*>(lparam))) {
    case Request::Activate:
      activate();
      break;
    case Request::Delete:
      remove();
      break;
    case Request::Find:
      Find();
      break;
    case Request::None:
      return false;
  }
  result = 0;
  return true;
}

void KeyListView::Find() {
  if (find_ != nullptr) find_->Find();
}

}  // namespace qvx::keys::ui

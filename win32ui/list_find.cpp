// The list dialogs' Find command over the system's Find dialog.
#include "win32ui/list_find.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "win32ui/list_rows.h"
#include "win32ui/message_box.h"
#include "win32ui/model/balloon_layout.h"

namespace qvx::win32ui {

namespace {

constexpr const char* kCaption = "Quorvix";
constexpr int kCellChars = 256;

// The list dialogs are modal, and a modal dialog's message loop gives the
// keyboard to its own dialog only. While a Find dialog is open on a thread,
// a message-filter hook lets it handle Tab, Enter and Escape too.
struct ThreadFindDialogs {
  std::vector<HWND> windows;
  HHOOK hook = nullptr;
  bool in_hook = false;
};
thread_local ThreadFindDialogs t_findDialogs;

LRESULT CALLBACK FindDialogKeys(int code, WPARAM wparam, LPARAM lparam) {
  auto& state = t_findDialogs;
  auto* msg = reinterpret_cast<MSG*>(lparam);
  if (code >= 0 && !state.in_hook && msg != nullptr && msg->message >= WM_KEYFIRST &&
      msg->message <= WM_KEYLAST) {
    for (HWND window : state.windows) {
      if (msg->hwnd == window || IsChild(window, msg->hwnd)) {
        // IsDialogMessage may call the filter hooks again.
        state.in_hook = true;
        const BOOL handled = IsDialogMessageA(window, msg);
        state.in_hook = false;
        if (handled) return TRUE;
      }
    }
  }
  return CallNextHookEx(state.hook, code, wparam, lparam);
}

void AddFindDialog(HWND window) {
  auto& state = t_findDialogs;
  state.windows.push_back(window);
  if (state.hook == nullptr) {
    state.hook = SetWindowsHookExA(WH_MSGFILTER, &FindDialogKeys, nullptr, GetCurrentThreadId());
  }
}

void RemoveFindDialog(HWND window) {
  auto& state = t_findDialogs;
  state.windows.erase(std::remove(state.windows.begin(), state.windows.end(), window),
                      state.windows.end());
  if (state.windows.empty() && state.hook != nullptr) {
    UnhookWindowsHookEx(state.hook);
    state.hook = nullptr;
  }
}

PixelRect ToPixels(const RECT& r) { return PixelRect{r.left, r.top, r.right, r.bottom}; }

// Puts the Find dialog beside the list's dialog, so that it covers none of
// the rows it finds.
void PlaceFindDialog(HWND find, HWND owner) {
  RECT f, o;
  if (!GetWindowRect(find, &f) || !GetWindowRect(owner, &o)) return;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &info)) return;
  const auto place =
      PlaceOutside(ToPixels(o), f.right - f.left, f.bottom - f.top, ToPixels(info.rcWork));
  if (place) {
    SetWindowPos(find, nullptr, place->left, place->top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The cells of a list view, read with LVM_GETITEMTEXTA.
class ListViewCells final : public SearchableList {
 public:
  explicit ListViewCells(HWND list) : list_(list) {}
  int RowCount() const override {
    return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
  }
  std::string Cell(int row, int column) const override {
    char text[kCellChars] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = kCellChars;
    const LRESULT n = SendMessageA(list_, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                   reinterpret_cast<LPARAM>(&item));
    return std::string(text, static_cast<std::size_t>(std::clamp<LRESULT>(n, 0, kCellChars - 1)));
  }

 private:
  HWND list_;
};

}  // namespace

UINT ListFind::FindMessage() {
  static const UINT message = RegisterWindowMessageA(FINDMSGSTRINGA);
  return message;
}

ListFind::ListFind(HWND list, int columns, HINSTANCE instance, Notice notice)
    : list_(list), columns_(columns), instance_(instance), notice_(std::move(notice)) {
  FindMessage();
}

ListFind::~ListFind() {
  if (find_window_ != nullptr) {
    const HWND window = find_window_;
    find_window_ = nullptr;
    RemoveFindDialog(window);
    DestroyWindow(window);
  }
}

void ListFind::Find() {
  if (find_window_ != nullptr) {
    Search();
    return;
  }
  memory_.found = false;
  // The Find dialog starts with the text of the last successful search.
  const std::size_t n = std::min(memory_.last_found.size(), sizeof text_ - 1);
  memory_.last_found.copy(text_, n);
  text_[n] = '\0';
  request_ = FINDREPLACEA{};
  request_.lStructSize = sizeof request_;
  request_.hwndOwner = GetParent(list_);
  request_.hInstance = instance_;
  request_.Flags = FindOptionsToFlags(options_);
  request_.lpstrFindWhat = text_;
  request_.wFindWhatLen = sizeof text_;
  find_window_ = FindTextA(&request_);
  if (find_window_ == nullptr) return;
  AddFindDialog(find_window_);
  PlaceFindDialog(find_window_, request_.hwndOwner);
}

bool ListFind::HandleMessage(UINT message, LPARAM lparam) {
  if (message != FindMessage() || reinterpret_cast<FINDREPLACEA*>(lparam) != &request_) {
    return false;
  }
  if ((request_.Flags & FR_DIALOGTERM) != 0) {
    if (find_window_ != nullptr) RemoveFindDialog(find_window_);
    find_window_ = nullptr;
    memory_.found = false;
    options_ = FindOptionsFromFlags(request_.Flags);
    return true;
  }
  if ((request_.Flags & FR_FINDNEXT) != 0) Search();
  return true;
}

void ListFind::Search() {
  options_ = FindOptionsFromFlags(request_.Flags);
  const std::string what(text_, strnlen(text_, sizeof text_));
  // While the search runs (and its message shows) the Find dialog takes no
  // second request.
  const HWND find = find_window_;
  if (find != nullptr) EnableWindow(find, FALSE);
  const SearchResult result =
      SearchList(ListViewCells(list_), columns_, SelectedRow(), what, options_, memory_);
  if (find != nullptr && IsWindow(find)) EnableWindow(find, TRUE);
  switch (result.outcome) {
    case SearchResult::Outcome::EmptyList:
      Report(Msg::SelectItemFirst, {}, nullptr);
      AfterFailure();
      break;
    case SearchResult::Outcome::NotFound:
      Report(Msg::CannotFindString, what, list_);
      AfterFailure();
      break;
    case SearchResult::Outcome::Found:
      SelectRow(result.row);
      // The list's dialog is active now; the Find dialog stays in front of it.
      if (find_window_ != nullptr) {
        SetWindowPos(find_window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      }
      break;
  }
}

void ListFind::Report(Msg id, const std::string& arg, HWND owner) {
  const std::string text = MessageBoxes(instance_).Text(id, arg);
  if (notice_) {
    notice_(id, text, owner);
    return;
  }
  MessageBoxA(owner, text.c_str(), kCaption, MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
}

void ListFind::AfterFailure() {
  if (find_window_ != nullptr) {
    SetForegroundWindow(find_window_);
  } else {
    SetFocus(list_);
  }
}

std::optional<int> ListFind::SelectedRow() const {
  const LRESULT row = SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  if (row < 0) return std::nullopt;
  return static_cast<int>(row);
}

void ListFind::SelectRow(int row) {
  SelectListRow(list_, row);
  SetFocus(list_);
}

}  // namespace qvx::win32ui

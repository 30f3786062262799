// qvx_e2e_hook.dll: loaded by Windows into the program under test when a test
// sets its hook there; answers the queries of inproc_protocol.h from inside
// that process. Used only by the end-to-end tests.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "tests/support/e2e/inproc_protocol.h"

namespace {

using namespace qvx::e2e::inproc;

void AppendField(std::string& out, const std::string& field) {
  out += field;
  out += kField;
}

void DescribeMenu(HMENU menu, int depth, std::string& out) {
  const int count = GetMenuItemCount(menu);
  const UINT default_id = GetMenuDefaultItem(menu, FALSE, 0);
  for (int pos = 0; pos < count; ++pos) {
    const UINT state = GetMenuState(menu, static_cast<UINT>(pos), MF_BYPOSITION);
    const UINT id = GetMenuItemID(menu, pos);
    char text[512] = {};
    GetMenuStringA(menu, static_cast<UINT>(pos), text, sizeof text, MF_BYPOSITION);
    RECT r{};
    if (!GetMenuItemRect(nullptr, menu, static_cast<UINT>(pos), &r)) r = RECT{};
    AppendField(out, std::to_string(depth));
    AppendField(out, std::to_string(id));
    AppendField(out, std::to_string(state));
    AppendField(out, (id == default_id && id != static_cast<UINT>(-1)) ? "1" : "0");
    AppendField(out, std::to_string(r.left));
    AppendField(out, std::to_string(r.top));
    AppendField(out, std::to_string(r.right));
    AppendField(out, std::to_string(r.bottom));
    out += text;
    out += kRecord;
    if (HMENU sub = GetSubMenu(menu, pos)) DescribeMenu(sub, depth + 1, out);
  }
}

void DescribeListView(HWND list, std::string& out) {
  const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
  if (columns < 1) columns = 1;
  for (int row = 0; row < rows; ++row) {
    const bool selected =
        (SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) &
         LVIS_SELECTED) != 0;
    AppendField(out, selected ? "S" : "-");
    for (int column = 0; column < columns; ++column) {
      char text[1024] = {};
      LVITEMA item{};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = sizeof text;
      SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
      AppendField(out, text);
    }
    out += kRecord;
  }
}

void DescribeListViewCells(HWND list, std::string& out) {
  const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
  if (columns < 1) columns = 1;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      RECT r{};
      r.top = column;
      r.left = LVIR_BOUNDS;
      SendMessageA(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
      if (column == 0) {
        // The first column's bounds are those of the whole row: cut them at
        // the column's width.
        r.right = r.left + static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
      }
      MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
      AppendField(out, std::to_string(r.left));
      AppendField(out, std::to_string(r.top));
      AppendField(out, std::to_string(r.right));
      AppendField(out, std::to_string(r.bottom));
    }
    out += kRecord;
  }
}

void Answer(HWND target, unsigned long test_pid) {
  char name[64];
  BlockName(name, test_pid);
  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
  if (mapping == nullptr) return;
  auto* block = static_cast<Block*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(Block)));
  if (block != nullptr) {
    std::string reply;
    switch (block->request) {
      case kMenuOfPopupWindow:
        if (HMENU menu = reinterpret_cast<HMENU>(SendMessageA(target, MN_GETHMENU, 0, 0))) {
          DescribeMenu(menu, 0, reply);
        }
        break;
      case kMenuBarOfWindow:
        if (HMENU menu = GetMenu(target)) DescribeMenu(menu, 0, reply);
        break;
      case kListViewRows:
        DescribeListView(target, reply);
        break;
      case kListViewCells:
        DescribeListViewCells(target, reply);
        break;
      case kEndMenu:
        EndMenu();
        break;
      default:
        break;
    }
    if (reply.size() > sizeof block->reply) reply.resize(sizeof block->reply);
    reply.copy(block->reply, reply.size());
    block->reply_length = static_cast<std::uint32_t>(reply.size());
    block->done = 1;
    UnmapViewOfFile(block);
  }
  CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK QvxE2eHookProc(int code, WPARAM wparam,
                                                                 LPARAM lparam) {
  static const UINT query = RegisterWindowMessageA(kQueryMessage);
  if (code == HC_ACTION) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (call->message == query) Answer(call->hwnd, static_cast<unsigned long>(call->wParam));
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

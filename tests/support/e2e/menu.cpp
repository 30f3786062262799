// In-process queries through qvx_e2e_hook.dll, and menu helpers on top.
#include "tests/support/e2e/menu.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/e2e/inproc_protocol.h"
#include "tests/support/e2e/input.h"
#include "tests/support/e2e/window_query.h"

namespace qvx::e2e {

namespace {

using namespace inproc;

// Sets the hook on the window's thread, sends the query and returns the reply.
std::string Query(HWND target, Request request) {
  static HMODULE dll = [] {
    std::string path = QVX_E2E_HOOK_PATH;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return LoadLibraryA(path.c_str());
  }();
  if (dll == nullptr || target == nullptr) return {};
  auto proc = reinterpret_cast<HOOKPROC>(
      reinterpret_cast<void (*)()>(GetProcAddress(dll, kHookProcName)));
  const DWORD thread = GetWindowThreadProcessId(target, nullptr);
  char name[64];
  BlockName(name, GetCurrentProcessId());
  HANDLE mapping =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Block), name);
  if (mapping == nullptr) return {};
  auto* block = static_cast<Block*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Block)));
  std::string reply;
  if (block != nullptr) {
    // The system loads the hook into the target the first time it calls it,
    // and under load a call can pass before it is there: a query that went
    // unanswered is asked again for a while (an empty answer is an answer).
    const ULONGLONG give_up = GetTickCount64() + 5000;
    for (int attempt = 0;; ++attempt) {
      block->request = request;
      block->done = 0;
      block->reply_length = 0;
      HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, proc, dll, thread);
      if (hook != nullptr) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(target, RegisterWindowMessageA(kQueryMessage), GetCurrentProcessId(), 0,
                            SMTO_ABORTIFHUNG, 10000, &ignored);
        UnhookWindowsHookEx(hook);
      }
      if (block->done) {
        reply.assign(block->reply, std::min<std::uint32_t>(block->reply_length, sizeof block->reply));
        if (attempt > 0) std::fprintf(stderr, "a window query was answered at attempt %d\n", attempt + 1);
        break;
      }
      if (!IsWindow(target) || GetTickCount64() > give_up) {
        std::fprintf(stderr, "a window query went unanswered (%d attempts)\n", attempt + 1);
        break;
      }
      Sleep(50);
    }
    UnmapViewOfFile(block);
  }
  CloseHandle(mapping);
  return reply;
}

std::vector<std::vector<std::string>> Records(const std::string& reply) {
  std::vector<std::vector<std::string>> records;
  std::size_t start = 0;
  while (start < reply.size()) {
    std::size_t end = reply.find(kRecord, start);
    if (end == std::string::npos) end = reply.size();
    std::vector<std::string> fields;
    std::size_t f = start;
    for (;;) {
      const std::size_t sep = reply.find(kField, f);
      if (sep == std::string::npos || sep > end) {
        fields.push_back(reply.substr(f, end - f));
        break;
      }
      fields.push_back(reply.substr(f, sep - f));
      f = sep + 1;
    }
    records.push_back(std::move(fields));
    start = end + 1;
  }
  return records;
}

std::vector<MenuItem> ParseMenu(const std::string& reply) {
  std::vector<MenuItem> items;
  for (const auto& f : Records(reply)) {
    if (f.size() < 9) continue;
    MenuItem item;
    item.depth = std::atoi(f[0].c_str());
    item.id = static_cast<UINT>(std::strtoul(f[1].c_str(), nullptr, 10));
    const UINT state = static_cast<UINT>(std::strtoul(f[2].c_str(), nullptr, 10));
    item.is_default = f[3] == "1";
    item.rect = RECT{std::atoi(f[4].c_str()), std::atoi(f[5].c_str()), std::atoi(f[6].c_str()),
                     std::atoi(f[7].c_str())};
    item.text = f[8];
    item.separator = (state & MF_SEPARATOR) != 0;
    item.submenu = (state & MF_POPUP) != 0;
    item.grayed = !item.separator && (state & (MF_GRAYED | MF_DISABLED)) != 0;
    item.checked = (state & MF_CHECKED) != 0;
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace

std::vector<MenuItem> ReadPopupMenu(HWND menu_window) {
  return ParseMenu(Query(menu_window, kMenuOfPopupWindow));
}

std::vector<MenuItem> ReadMenuBar(HWND window) { return ParseMenu(Query(window, kMenuBarOfWindow)); }

std::vector<MenuItem> SubmenuItems(const std::vector<MenuItem>& menu, std::string_view submenu_text) {
  std::vector<MenuItem> items;
  int depth = 0;
  std::size_t i = 0;
  if (!submenu_text.empty()) {
    for (; i < menu.size() && !(menu[i].submenu && menu[i].text == submenu_text); ++i) {
    }
    if (i == menu.size()) return items;
    depth = menu[i].depth + 1;
    ++i;
  }
  for (; i < menu.size() && menu[i].depth >= depth; ++i) {
    if (menu[i].depth == depth) items.push_back(menu[i]);
  }
  return items;
}

const MenuItem* FindMenuItem(const std::vector<MenuItem>& menu, std::string_view text) {
  for (const auto& item : menu) {
    if (item.text == text) return &item;
  }
  return nullptr;
}

std::vector<HWND> PopupMenuWindows(DWORD pid) {
  WindowMatch match;
  match.pid = pid;
  match.class_name = "#32768";
  auto windows = TopLevelWindows(match);
  // EnumWindows lists the topmost first; the newest menu is on top.
  return std::vector<HWND>(windows.rbegin(), windows.rend());
}

HWND WaitForPopupMenu(DWORD pid, std::size_t count, DWORD timeout_ms) {
  std::vector<HWND> menus;
  if (!WaitUntil([&] { return (menus = PopupMenuWindows(pid)).size() >= count; }, timeout_ms)) {
    return nullptr;
  }
  return menus.back();
}

HWND WaitForNewPopupMenu(DWORD pid, const std::vector<HWND>& before, DWORD timeout_ms) {
  HWND found = nullptr;
  const bool shown = WaitUntil(
      [&] {
        found = nullptr;
        const auto menus = PopupMenuWindows(pid);
        for (auto it = menus.rbegin(); it != menus.rend(); ++it) {
          if (std::find(before.begin(), before.end(), *it) == before.end()) {
            found = *it;
            break;
          }
        }
        if (found == nullptr) return false;
        // The window shows before its items are laid out now and then: a
        // click needs their rectangles.
        const auto items = ReadPopupMenu(found);
        return !items.empty() && std::all_of(items.begin(), items.end(), [](const MenuItem& item) {
          return item.depth > 0 || item.rect.right > item.rect.left;
        });
      },
      timeout_ms);
  return shown ? found : nullptr;
}

void ClickMenuItem(const MenuItem& item) {
  ClickAt(POINT{(item.rect.left + item.rect.right) / 2, (item.rect.top + item.rect.bottom) / 2});
}

void EndMenus(HWND menu_window) { Query(menu_window, kEndMenu); }

std::vector<std::vector<std::string>> ReadListView(HWND list) {
  auto rows = Records(Query(list, kListViewRows));
  for (auto& row : rows) {
    if (!row.empty() && row.back().empty()) row.pop_back();  // after the last separator
  }
  return rows;
}

std::vector<std::vector<RECT>> ListViewCellRects(HWND list) {
  std::vector<std::vector<RECT>> rows;
  for (const auto& fields : Records(Query(list, kListViewCells))) {
    std::vector<RECT> cells;
    for (std::size_t i = 0; i + 3 < fields.size(); i += 4) {
      cells.push_back(RECT{std::atoi(fields[i].c_str()), std::atoi(fields[i + 1].c_str()),
                           std::atoi(fields[i + 2].c_str()), std::atoi(fields[i + 3].c_str())});
    }
    rows.push_back(std::move(cells));
  }
  return rows;
}

}  // namespace qvx::e2e

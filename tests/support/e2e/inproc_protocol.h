// The protocol between the end-to-end tests and qvx_e2e_hook.dll, which the
// tests load into the program under test (a WH_CALLWNDPROC hook on the thread
// that owns a window) to read what other processes cannot: menus and list-view
// rows. The test writes a request into a shared memory block named after its
// own process id, sends the window the registered message kQueryMessage with
// wParam = that process id, and reads the reply from the block once
// SendMessage returns.
#pragma once

#include <cstdint>

namespace qvx::e2e::inproc {

inline constexpr const char* kQueryMessage = "QVX_E2E_QUERY";
inline constexpr const char* kHookProcName = "QvxE2eHookProc";
inline constexpr std::uint32_t kBlockSize = 256 * 1024;

// The shared block's name for a test process.
inline void BlockName(char (&out)[64], unsigned long test_pid) {
  const char prefix[] = "QvxE2eQuery-";
  int i = 0;
  for (; prefix[i]; ++i) out[i] = prefix[i];
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + test_pid % 10);
    test_pid /= 10;
  } while (test_pid != 0);
  while (n > 0) out[i++] = digits[--n];
  out[i] = '\0';
}

enum Request : std::uint32_t {
  kMenuOfPopupWindow = 1,  // the menu a popup menu window (#32768) shows, with submenus
  kMenuBarOfWindow = 2,    // GetMenu(window), with submenus
  kListViewRows = 3,       // every row of a list view, every column
  kEndMenu = 4,            // closes the menu the window's thread is tracking
  kListViewCells = 5,      // screen rectangles of every cell of a list view
};

// Reply records are separated by kRecord, their fields by kField. Menu items:
// depth, id, state flags (MF_*), 1 if default item, rect left, top, right,
// bottom (screen; zeros when not shown), text. List-view rows: "S" or "-"
// (selected), then one field per column. List-view cells: per row, four fields
// (left, top, right, bottom on the screen) per column.
inline constexpr char kRecord = '\x1e';
inline constexpr char kField = '\x1f';

struct Block {
  std::uint32_t request;
  std::uint32_t done;  // set by the hook when the reply is complete
  std::uint32_t reply_length;
  std::uint32_t reserved;
  char reply[kBlockSize - 16];
};

}  // namespace qvx::e2e::inproc

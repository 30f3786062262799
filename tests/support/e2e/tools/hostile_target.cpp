// qvx_hostile_target.exe: a window whose text the end-to-end tests have the
// program under test take and replace, built to be awkward. Its text area is
// a custom-drawn control, not an edit control, so only keys and the clipboard
// reach its text; command-line switches make it treat the clipboard the way
// some real programs and clipboard managers do:
//   --hold-after-copy=MS  after its copy, opens the clipboard again for MS ms
//   --read-late=MS        on Ctrl+V, reads the clipboard only MS ms later
//   --ignore-paste        Ctrl+V does nothing
//   --topmost             always on top, shown without taking the focus
//   --hold-clipboard=MS --signal=NAME
//                         no window: opens the clipboard, sets the named event,
//                         holds the clipboard MS ms and ends
// The messages for tests are described in tests/support/e2e/hostile_target.h.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/e2e/hostile_target.h"

using qvx::e2e::kGetSelectionMessage;
using qvx::e2e::kSelectMessage;

namespace {

struct Options {
  DWORD hold_after_copy_ms = 0;
  DWORD read_late_ms = 0;
  bool ignore_paste = false;
  bool topmost = false;
  DWORD hold_clipboard_ms = 0;
  bool hold_mode = false;
  std::string signal;
};

constexpr UINT_PTR kReleaseClipboardTimer = 1;
constexpr UINT_PTR kLatePasteTimer = 2;

// The text area's state, owned by its window (GWLP_USERDATA).
struct TextArea {
  const Options* options = nullptr;
  std::wstring text;
  std::size_t start = 0, end = 0;  // selection [start, end), start <= end
  bool holding_clipboard = false;

  void Select(std::size_t from, std::size_t to) {
    from = std::min(from, text.size());
    to = std::min(to, text.size());
    start = std::min(from, to);
    end = std::max(from, to);
  }
  void ReplaceSelection(const std::wstring& with) {
    text.replace(start, end - start, with);
    start = end = start + with.size();
  }
};

TextArea* StateOf(HWND window) {
  return reinterpret_cast<TextArea*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Opens the clipboard, trying for a moment when another program has it.
bool OpenClipboardFor(HWND owner, DWORD patience_ms) {
  const ULONGLONG until = GetTickCount64() + patience_ms;
  while (!OpenClipboard(owner)) {
    if (GetTickCount64() >= until) return false;
    Sleep(10);
  }
  return true;
}

// Lets go of a clipboard kept open after a copy (before the thread opens it
// again itself: it would otherwise close that hold early).
void ReleaseHold(HWND window, TextArea& area) {
  if (!area.holding_clipboard) return;
  KillTimer(window, kReleaseClipboardTimer);
  CloseClipboard();
  area.holding_clipboard = false;
}

void Copy(HWND window, TextArea& area) {
  // Nothing selected: the clipboard stays as it is, as in an edit control.
  if (area.start == area.end) return;
  const std::wstring part = area.text.substr(area.start, area.end - area.start);
  const std::size_t bytes = (part.size() + 1) * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (block == nullptr) return;
  std::memcpy(GlobalLock(block), part.c_str(), bytes);
  GlobalUnlock(block);
  ReleaseHold(window, area);
  if (!OpenClipboardFor(window, 200)) {
    GlobalFree(block);
    return;
  }
  EmptyClipboard();
  if (SetClipboardData(CF_UNICODETEXT, block) == nullptr) GlobalFree(block);
  CloseClipboard();
  // A clipboard manager looking at the new entry keeps the clipboard open a
  // while; the thread goes on serving its messages meanwhile.
  if (area.options->hold_after_copy_ms > 0 && OpenClipboard(window)) {
    area.holding_clipboard = true;
    SetTimer(window, kReleaseClipboardTimer, area.options->hold_after_copy_ms, nullptr);
  }
}

void PasteNow(HWND window, TextArea& area) {
  ReleaseHold(window, area);
  if (!OpenClipboardFor(window, 1000)) return;
  std::wstring pasted;
  bool have = false;
  // With delayed rendering this is where the clipboard's owner is asked for
  // the data.
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      const std::size_t limit = GlobalSize(data) / sizeof(wchar_t);
      pasted.assign(p, std::find(p, p + limit, L'\0'));
      have = true;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  if (!have) return;
  area.ReplaceSelection(pasted);
  InvalidateRect(window, nullptr, TRUE);
}

void Paste(HWND window, TextArea& area) {
  if (area.options->ignore_paste) return;
  if (area.options->read_late_ms > 0) {
    SetTimer(window, kLatePasteTimer, area.options->read_late_ms, nullptr);
    return;
  }
  PasteNow(window, area);
}

void Type(HWND window, TextArea& area, wchar_t ch) {
  if (ch == L'\b') {
    if (area.start == area.end && area.start > 0) --area.start;
    area.ReplaceSelection(L"");
  } else if (ch == L'\r') {
    area.ReplaceSelection(L"\r\n");
  } else if (ch >= L' ' || ch == L'\t') {
    area.ReplaceSelection(std::wstring(1, ch));
  } else {
    return;  // Ctrl+letter arrives here too; the key handler took it
  }
  InvalidateRect(window, nullptr, TRUE);
}

// A line on the selection, then the text; the selected part is repeated on
// a highlighted line so that screenshots show what is selected.
void Paint(HWND window, const TextArea& area) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT rect;
  GetClientRect(window, &rect);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  const std::wstring status =
      L"Selection " + std::to_wstring(area.start) + L"-" + std::to_wstring(area.end) + L" of " +
      std::to_wstring(area.text.size()) + (GetFocus() == window ? L" (focus)" : L"");
  RECT line = rect;
  line.bottom = line.top + 18;
  SetTextColor(dc, RGB(90, 90, 90));
  DrawTextW(dc, status.c_str(), -1, &line, DT_SINGLELINE | DT_NOPREFIX);
  if (area.end > area.start) {
    RECT selected = rect;
    selected.top = line.bottom;
    selected.bottom = selected.top + 18;
    FillRect(dc, &selected, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    const std::wstring part = area.text.substr(area.start, area.end - area.start);
    DrawTextW(dc, part.c_str(), static_cast<int>(part.size()), &selected,
              DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    line.bottom = selected.bottom;
  }
  RECT body = rect;
  body.top = line.bottom + 4;
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextW(dc, area.text.c_str(), static_cast<int>(area.text.size()), &body,
            DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS);
  EndPaint(window, &ps);
}

LRESULT CALLBACK TextAreaProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  TextArea* area = StateOf(window);
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return DefWindowProcW(window, message, wparam, lparam);
  }
  if (area == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_KEYDOWN: {
      const bool ctrl = GetKeyState(VK_CONTROL) < 0;
      const bool shift = GetKeyState(VK_SHIFT) < 0;
      if (ctrl && wparam == 'A') {
        area->Select(0, area->text.size());
        InvalidateRect(window, nullptr, TRUE);
      } else if ((ctrl && wparam == 'C') || (ctrl && wparam == VK_INSERT)) {
        Copy(window, *area);
      } else if ((ctrl && wparam == 'V') || (shift && wparam == VK_INSERT)) {
        Paste(window, *area);
      }
      return 0;
    }
    case WM_CHAR:
      if (GetKeyState(VK_CONTROL) >= 0) Type(window, *area, static_cast<wchar_t>(wparam));
      return 0;
    case WM_TIMER:
      KillTimer(window, wparam);
      if (wparam == kReleaseClipboardTimer) {
        ReleaseHold(window, *area);
      } else if (wparam == kLatePasteTimer) {
        PasteNow(window, *area);
      }
      return 0;
    case WM_SETTEXT:
      area->text = lparam != 0 ? reinterpret_cast<const wchar_t*>(lparam) : L"";
      area->Select(0, 0);
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(area->text.size());
    case WM_GETTEXT: {
      if (wparam == 0 || lparam == 0) return 0;
      auto* out = reinterpret_cast<wchar_t*>(lparam);
      const std::size_t n = std::min<std::size_t>(area->text.size(), wparam - 1);
      std::memcpy(out, area->text.data(), n * sizeof(wchar_t));
      out[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case kSelectMessage: {
      const auto to = static_cast<LONG_PTR>(lparam);
      area->Select(wparam, to < 0 ? area->text.size() : static_cast<std::size_t>(to));
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case kGetSelectionMessage:
      return MAKELRESULT(std::min<std::size_t>(area->start, 0xFFFF),
                         std::min<std::size_t>(area->end, 0xFFFF));
    case WM_PAINT:
      Paint(window, *area);
      return 0;
    case WM_DESTROY:
      ReleaseHold(window, *area);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

// Set while the frame's non-client area is being drawn. One window, one
// thread: the only state outside the windows themselves.
bool g_drawing_frame = false;

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND text = GetDlgItem(window, 1);
  switch (message) {
    case WM_SIZE:
      if (text != nullptr) MoveWindow(text, 4, 4, LOWORD(lparam) - 8, HIWORD(lparam) - 8, TRUE);
      return 0;
    case WM_SETFOCUS:
      if (text != nullptr) SetFocus(text);
      return 0;
    // The frame is drawn with its own title (the caption asks for it with
    // WM_GETTEXT while being drawn).
    case WM_NCPAINT:
    case WM_NCACTIVATE:
    case WM_SETICON: {
      const bool outer = !g_drawing_frame;
      g_drawing_frame = true;
      const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
      if (outer) g_drawing_frame = false;
      return result;
    }
    // Otherwise the text messages reach the text area from the window too,
    // the way a test or a screen reader may ask the top-level window.
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      if (g_drawing_frame) return DefWindowProcW(window, message, wparam, lparam);
      return text != nullptr ? SendMessageW(text, message, wparam, lparam) : 0;
    case kSelectMessage:
    case kGetSelectionMessage:
      return text != nullptr ? SendMessageW(text, message, wparam, lparam) : 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

bool ParseMs(const std::string& arg, const char* prefix, DWORD& out) {
  const std::size_t n = std::strlen(prefix);
  if (arg.compare(0, n, prefix) != 0) return false;
  out = static_cast<DWORD>(std::strtoul(arg.c_str() + n, nullptr, 10));
  return true;
}

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (ParseMs(arg, "--hold-after-copy=", options.hold_after_copy_ms) ||
        ParseMs(arg, "--read-late=", options.read_late_ms)) {
      continue;
    }
    if (ParseMs(arg, "--hold-clipboard=", options.hold_clipboard_ms)) {
      options.hold_mode = true;
    } else if (arg == "--ignore-paste") {
      options.ignore_paste = true;
    } else if (arg == "--topmost") {
      options.topmost = true;
    } else if (arg.compare(0, 9, "--signal=") == 0) {
      options.signal = arg.substr(9);
    } else {
      return false;
    }
  }
  return true;
}

// The clipboard manager mode: hold the clipboard, say so, let go, end.
int HoldClipboard(const Options& options) {
  // Opened for a window: under Wine, opens without a window do not keep each
  // other out.
  HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (owner == nullptr || !OpenClipboardFor(owner, 10000)) return 1;
  if (!options.signal.empty()) {
    if (HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, options.signal.c_str())) {
      SetEvent(event);
      CloseHandle(event);
    }
  }
  Sleep(options.hold_clipboard_ms);
  CloseClipboard();
  DestroyWindow(owner);
  return 0;
}

int RunWindow(const Options& options) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW frame_class{};
  frame_class.lpfnWndProc = FrameProc;
  frame_class.hInstance = instance;
  frame_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  frame_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  frame_class.lpszClassName = L"QvxHostileTarget";
  WNDCLASSW text_class{};
  text_class.lpfnWndProc = TextAreaProc;
  text_class.hInstance = instance;
  text_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_IBEAM));
  text_class.lpszClassName = L"QvxCustomText";
  if (!RegisterClassW(&frame_class) || !RegisterClassW(&text_class)) return 1;

  int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = 480, height = 300;
  if (options.topmost) {
    // The bottom right corner of the work area, clear of notepad, which opens
    // at the top left.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    width = 340;
    height = 200;
    x = work.right - width - 10;
    y = work.bottom - height - 10;
  }
  HWND frame = CreateWindowExW(options.topmost ? WS_EX_TOPMOST : 0, L"QvxHostileTarget",
                               L"Hostile target", WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr,
                               nullptr, instance, nullptr);
  if (frame == nullptr) return 1;
  TextArea area;
  area.options = &options;
  HWND text =
      CreateWindowExW(WS_EX_CLIENTEDGE, L"QvxCustomText", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                      0, 0, 10, 10, frame, reinterpret_cast<HMENU>(1), instance, &area);
  if (text == nullptr) return 1;
  RECT client;
  GetClientRect(frame, &client);
  MoveWindow(text, 4, 4, client.right - 8, client.bottom - 8, TRUE);
  ShowWindow(frame, options.topmost ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL);
  UpdateWindow(frame);
  if (!options.topmost) SetFocus(text);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: qvx_hostile_target [--hold-after-copy=MS] [--read-late=MS]"
                 " [--ignore-paste] [--topmost] | --hold-clipboard=MS [--signal=EVENT]\n");
    return 2;
  }
  return options.hold_mode ? HoldClipboard(options) : RunWindow(options);
}

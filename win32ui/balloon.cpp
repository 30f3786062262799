// Balloons over list cells whose text the list cuts short.
#include "win32ui/balloon.h"

#include <commctrl.h>
#include <windowsx.h>

#include <memory>
#include <string>

#include "win32ui/model/balloon_layout.h"
#include "win32ui/win32_util.h"

namespace qvx::win32ui {

namespace {

constexpr const char* kTrackerProperty = "QvxBalloonTracker";
constexpr UINT_PTR kHoverTimer = 0x5142;  // an id of our own among the list's timers
constexpr UINT kHoverDelayMs = 200;
constexpr int kCellMargin = 6;  // the list's room left and right of a cell text
constexpr int kMaxTextChars = 1024;
constexpr COLORREF kBalloonColour = RGB(0xFF, 0xFF, 0xE0);  // light yellow

// What a list's subclass keeps: its old window procedure and its balloon.
struct Tracker {
  WNDPROC old_proc = nullptr;
  HWND balloon = nullptr;
  int row = -1;  // the cell the balloon shows
  int column = -1;
  POINT last_mouse{-1, -1};
};

// What a balloon window draws.
struct BalloonData {
  std::string text;
  HFONT font = nullptr;
  HWND list = nullptr;
  RECT text_rect{};
  UINT draw_flags = 0;
};

Tracker* TrackerOf(HWND list) { return static_cast<Tracker*>(GetPropA(list, kTrackerProperty)); }

void HideBalloon(Tracker& t) {
  const HWND balloon = t.balloon;
  t.balloon = nullptr;
  t.row = t.column = -1;
  if (balloon != nullptr) DestroyWindow(balloon);
}

LRESULT CALLBACK BalloonProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* data = reinterpret_cast<BalloonData*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCHITTEST:
      // The mouse goes through to the list below: clicks, double clicks and
      // the wheel act on the list as if the balloon were not there.
      return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (data != nullptr) {
        const HGDIOBJ old_font = data->font ? SelectObject(dc, data->font) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        RECT r = data->text_rect;
        DrawTextA(dc, data->text.c_str(), static_cast<int>(data->text.size()), &r, data->draw_flags);
        if (old_font != nullptr) SelectObject(dc, old_font);
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_NCDESTROY:
      if (data != nullptr) {
        if (Tracker* t = TrackerOf(data->list); t != nullptr && t->balloon == window) {
          t->balloon = nullptr;
          t->row = t->column = -1;
        }
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete data;
      }
      break;
    default:
      if (data != nullptr && message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK) {
        // Should a click reach the balloon after all, it goes to the list.
        POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        MapWindowPoints(window, data->list, &p, 1);
        PostMessageA(data->list, message, wparam, MAKELPARAM(p.x, p.y));
        return 0;
      }
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

bool RegisterBalloonClass(HINSTANCE instance) {
  static const bool registered = [instance] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &BalloonProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(kBalloonColour);  // lives as long as the class
    wc.lpszClassName = kBalloonClass;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

std::string CellText(HWND list, int row, int column) {
  std::string text(kMaxTextChars, '\0');
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text.data();
  item.cchTextMax = kMaxTextChars;
  const LRESULT n = SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                 reinterpret_cast<LPARAM>(&item));
  text.resize(n > 0 && n < kMaxTextChars ? static_cast<std::size_t>(n)
                                         : strnlen(text.c_str(), kMaxTextChars));
  return text;
}

// The part of a cell that holds its text, in the list's client coordinates
// (without the icon of the first column).
bool CellLabelRect(HWND list, int row, int column, RECT& r) {
  r = RECT{};
  if (column == 0) {
    r.left = LVIR_LABEL;
    return SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(&r)) != 0;
  }
  r.top = column;
  r.left = LVIR_LABEL;
  return SendMessageA(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                      reinterpret_cast<LPARAM>(&r)) != 0;
}

PixelRect WorkAreaAt(POINT p) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(MonitorFromPoint(p, MONITOR_DEFAULTTONEAREST), &info)) {
    return PixelRect{info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
  }
  return PixelRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// The hover test: the mouse rests over the list; show the balloon for the
// cell below it when the list cuts that cell's text short.
void ShowBalloonAtCursor(HWND list, Tracker& t) {
  POINT cursor;
  if (!GetCursorPos(&cursor)) return;
  POINT client = cursor;
  ScreenToClient(list, &client);
  RECT area;
  GetClientRect(list, &area);
  if (!PtInRect(&area, client)) return;
  if (HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
      header != nullptr && IsWindowVisible(header)) {
    RECT h;
    GetWindowRect(header, &h);
    if (PtInRect(&h, cursor)) return;
  }
  LVHITTESTINFO hit{};
  hit.pt = client;
  if (SendMessageA(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0 ||
      hit.iItem < 0) {
    HideBalloon(t);
    return;
  }
  if (t.balloon != nullptr && t.row == hit.iItem && t.column == hit.iSubItem) return;
  HideBalloon(t);

  const std::string text = CellText(list, hit.iItem, hit.iSubItem);
  RECT label;
  if (text.empty() || !CellLabelRect(list, hit.iItem, hit.iSubItem, label)) return;
  // Only while the list's window is the active one.
  if (GetFocus() == nullptr) return;

  auto data = std::make_unique<BalloonData>();
  data->text = text;
  data->list = list;
  data->font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
  const PixelRect screen = WorkAreaAt(cursor);
  RECT measured{0, 0, 0, 0};
  HDC dc = GetDC(list);
  const HGDIOBJ old_font = data->font ? SelectObject(dc, data->font) : nullptr;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &measured,
            DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
  const bool fits =
      TextFitsCell(measured.right - measured.left, label.right - label.left, kCellMargin);
  data->draw_flags = DT_NOPREFIX | DT_NOCLIP | DT_SINGLELINE;
  const int widest = MaxBalloonTextWidth(screen);
  if (!fits && measured.right - measured.left > widest) {
    // Longer than the screen is wide: wrap it into lines.
    measured = RECT{0, 0, widest, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &measured,
              DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK | DT_EDITCONTROL);
    data->draw_flags = DT_NOPREFIX | DT_NOCLIP | DT_WORDBREAK | DT_EDITCONTROL;
  }
  if (old_font != nullptr) SelectObject(dc, old_font);
  ReleaseDC(list, dc);
  if (fits) return;

  const int text_width = measured.right - measured.left;
  const int text_height = measured.bottom - measured.top;
  POINT origin{label.left + kCellMargin - 3, label.top};
  ClientToScreen(list, &origin);
  const PixelRect cell{origin.x, origin.y, origin.x + (label.right - label.left),
                       origin.y + (label.bottom - label.top)};
  const PixelRect place = PlaceBalloon(cell, text_width, text_height, screen);
  data->text_rect = RECT{2, 0, 2 + text_width, text_height};

  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(list, GWLP_HINSTANCE));
  if (!RegisterBalloonClass(instance)) return;
  BalloonData* raw = data.release();  // the window owns it from WM_NCCREATE on
  const HWND balloon =
      CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kBalloonClass, kBalloonClass,
                      WS_POPUP | WS_BORDER, place.left, place.top, place.width(), place.height(),
                      GetAncestor(list, GA_ROOT), nullptr, instance, raw);
  if (balloon == nullptr) {
    delete raw;
    return;
  }
  t.balloon = balloon;
  t.row = hit.iItem;
  t.column = hit.iSubItem;
  SetWindowPos(balloon, HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void RestartHoverTimer(HWND list) { SetTimer(list, kHoverTimer, kHoverDelayMs, nullptr); }

void WatchMouseLeave(HWND list) {
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = list;
  TrackMouseEvent(&track);
}

LRESULT CALLBACK BalloonListProc(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
  Tracker* t = TrackerOf(list);
  if (t == nullptr) return DefWindowProcA(list, message, wparam, lparam);
  const WNDPROC old_proc = t->old_proc;
  NoThrow(0, [&] {
    switch (message) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
      case WM_HSCROLL:
      case WM_VSCROLL:
      case WM_MOUSEWHEEL:
      case WM_KILLFOCUS:
        HideBalloon(*t);
        break;
      case WM_MOUSEMOVE: {
        // A window appearing or vanishing under a still mouse makes the
        // system repeat the last move: that is no movement.
        const POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        if (p.x == t->last_mouse.x && p.y == t->last_mouse.y) break;
        t->last_mouse = p;
        HideBalloon(*t);
        RestartHoverTimer(list);
        WatchMouseLeave(list);
        break;
      }
      case WM_RBUTTONDOWN:
        // A right click shows the balloon of that cell at once.
        t->last_mouse = POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        KillTimer(list, kHoverTimer);
        ShowBalloonAtCursor(list, *t);
        break;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_LBUTTONDBLCLK:
      case WM_RBUTTONUP:
      case WM_RBUTTONDBLCLK:
      case WM_MBUTTONDOWN:
      case WM_MBUTTONUP:
      case WM_MBUTTONDBLCLK:
        t->last_mouse = POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        HideBalloon(*t);
        RestartHoverTimer(list);
        break;
      case WM_MOUSELEAVE:
        HideBalloon(*t);
        t->last_mouse = POINT{-1, -1};
        break;
      default:
        break;
    }
    return 0;
  });
  if (message == WM_TIMER && wparam == kHoverTimer) {
    KillTimer(list, kHoverTimer);
    NoThrow(0, [&] {
      ShowBalloonAtCursor(list, *t);
      return 0;
    });
    return 0;
  }
  if (message == WM_NCDESTROY) {
    HideBalloon(*t);
    KillTimer(list, kHoverTimer);
    SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_proc));
    RemovePropA(list, kTrackerProperty);
    delete t;
  }
  return CallWindowProcA(old_proc, list, message, wparam, lparam);
}

}  // namespace

void SubclassListForBalloon(HWND list) {
  if (list == nullptr || TrackerOf(list) != nullptr) return;
  auto tracker = std::make_unique<Tracker>();
  if (!SetPropA(list, kTrackerProperty, tracker.get())) return;
  tracker->old_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BalloonListProc)));
  tracker.release();  // freed when the list is destroyed
}

HWND BalloonOfList(HWND list) {
  const Tracker* t = TrackerOf(list);
  return t != nullptr ? t->balloon : nullptr;
}

}  // namespace qvx::win32ui

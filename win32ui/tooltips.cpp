// Tooltips on dialog buttons.
#include "win32ui/tooltips.h"

#include <commctrl.h>

#include <string>

#include "win32ui/win32_util.h"

namespace qvx::win32ui {

HWND AttachTooltips(HWND dialog, std::initializer_list<Tooltip> tips) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
  HWND tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog,
                                 nullptr, instance, nullptr);
  if (tooltip == nullptr) return nullptr;
  // Long texts wrap instead of running across the screen.
  SendMessageA(tooltip, TTM_SETMAXTIPWIDTH, 0, 400);
  for (const Tooltip& tip : tips) {
    HWND control = GetDlgItem(dialog, tip.control);
    if (control == nullptr) continue;
    std::string text = LoadResourceString(instance, static_cast<UINT>(tip.text));
    if (text.empty()) text = MessageText(tip.text);
    // The first version of the structure: every comctl32 takes it.
    TOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS | TTF_TRANSPARENT;
    info.hwnd = dialog;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.hinst = instance;
    info.lpszText = text.data();
    SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
  }
  SendMessageA(tooltip, TTM_ACTIVATE, TRUE, 0);
  return tooltip;
}

}  // namespace qvx::win32ui

// Windows and dialogs of other processes.
#include "tests/support/e2e/window_query.h"

#include <algorithm>

namespace qvx::e2e {

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

namespace {

std::string Narrow(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string s(static_cast<std::size_t>(std::max(n, 0)), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

}  // namespace

// Texts are read with the Unicode messages: Wine does not convert the ANSI
// forms of some of them (CB_GETLBTEXT) between processes.
std::string TextOf(HWND window) {
  if (window == nullptr) return {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 5000, &got)) {
    return {};
  }
  text.resize(std::min<DWORD_PTR>(got, length));
  return Narrow(text);
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

std::vector<HWND> TopLevelWindows(const WindowMatch& match) {
  struct Search {
    const WindowMatch* match;
    std::vector<HWND> found;
  } search{&match, {}};
  EnumWindows(
      [](HWND w, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        const WindowMatch& m = *s->match;
        if (m.visible_only && !IsWindowVisible(w)) return TRUE;
        if (m.pid != 0 && ProcessOf(w) != m.pid) return TRUE;
        if (!m.class_name.empty() && ClassOf(w) != m.class_name) return TRUE;
        if (!m.title.empty() && TextOf(w) != m.title) return TRUE;
        if (m.with_control >= 0 && GetDlgItem(w, m.with_control) == nullptr) return TRUE;
        s->found.push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindTopLevel(const WindowMatch& match) {
  const auto found = TopLevelWindows(match);
  return found.empty() ? nullptr : found.front();
}

HWND WaitForTopLevel(const WindowMatch& match, DWORD timeout_ms) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopLevel(match)) != nullptr; }, timeout_ms);
  return found;
}

HWND WaitForSteadyTopLevel(const WindowMatch& match, DWORD timeout_ms, DWORD steady_ms) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindTopLevel(match);
        if (found == nullptr) return false;
        Sleep(steady_ms);
        return IsWindow(found) && IsWindowVisible(found) && FindTopLevel(match) == found;
      },
      timeout_ms);
  return found != nullptr && IsWindow(found) && IsWindowVisible(found) ? found : nullptr;
}

bool WaitGone(HWND window, DWORD timeout_ms) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout_ms);
}

void DialogDriver::SetText(int id, const std::string& text) const {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, 5000, &result);
}

void DialogDriver::Click(int id) const { PostMessageA(Control(id), BM_CLICK, 0, 0); }

bool DialogDriver::Checked(int id) const {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(Control(id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
  return state == BST_CHECKED;
}

bool DialogDriver::SetChecked(int id, bool on) const {
  if (Checked(id) == on) return true;
  Click(id);
  return WaitUntil([&] { return Checked(id) == on; });
}

int DialogDriver::ComboSelection(int id) const {
  DWORD_PTR index = 0;
  SendMessageTimeoutA(Control(id), CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &index);
  return static_cast<int>(static_cast<LRESULT>(index));
}

std::vector<std::string> DialogDriver::ComboItems(int id) const {
  std::vector<std::string> items;
  DWORD_PTR count = 0;
  SendMessageTimeoutA(Control(id), CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
  for (DWORD_PTR i = 0; i < count && static_cast<LRESULT>(count) > 0; ++i) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(Control(id), CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 5000, &length) ||
        static_cast<LRESULT>(length) < 0) {
      items.emplace_back();
      continue;
    }
    // CB_GETLBTEXT takes no buffer size: leave ample room beyond the length.
    std::wstring text(length + 1024, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(Control(id), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &got);
    text.resize(static_cast<LRESULT>(got) > 0 ? std::min<DWORD_PTR>(got, length) : 0);
    items.push_back(Narrow(text));
  }
  return items;
}

void DialogDriver::SelectCombo(int id, int index) const {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(Control(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG,
                      5000, &result);
  PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(Control(id)));
}

POINT DialogDriver::CenterOf(int id) const {
  RECT r{};
  GetWindowRect(Control(id), &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace qvx::e2e

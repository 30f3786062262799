// Reading and writing another program's text field through its messages.
#include "shell/direct_text.h"

#include <richedit.h>

namespace qvx::shell {

namespace {

// How long a field may take to answer one message; a long text takes a
// moment to be copied between processes.
constexpr UINT kAnswerMs = 10000;
// Longer texts are left to the clipboard path (and the engine's own limits).
constexpr std::size_t kLongestText = 32u * 1024 * 1024;

std::optional<LRESULT> Send(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(control, message, wparam, lparam, SMTO_NORMAL | SMTO_ABORTIFHUNG, kAnswerMs,
                          &result) == 0) {
    return std::nullopt;
  }
  return static_cast<LRESULT>(result);
}

// The field's text, or nullopt when it did not come whole.
std::optional<win32ui::SecureWide> TextOf(HWND control, ControlKind kind) {
  const auto length = Send(control, WM_GETTEXTLENGTH, 0, 0);
  if (!length || *length < 0 || static_cast<std::size_t>(*length) > kLongestText) return std::nullopt;
  win32ui::SecureWide text(static_cast<std::size_t>(*length) + 1, L'\0');
  const auto got = Send(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  if (!got || *got < 0 || *got > *length) return std::nullopt;
  // An edit control gives exactly its length. A rich edit may announce more
  // than it gives (the length is an upper bound there), but a text that
  // does not come at all when there is one was not carried across.
  if (kind == ControlKind::Edit ? *got != *length : (*got == 0 && *length != 0)) return std::nullopt;
  text.resize(static_cast<std::size_t>(*got));
  return text;
}

}  // namespace

std::optional<TextField> TextField::FocusedIn(HWND top_level) {
  if (top_level == nullptr) return std::nullopt;
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(top_level, nullptr), &info)) return std::nullopt;
  HWND focus = info.hwndFocus;
  if (focus == nullptr || (focus != top_level && !IsChild(top_level, focus))) return std::nullopt;
  // The class the control was made from: superclassed fields of other
  // frameworks report the system class they are built on.
  char real_class[64] = {};
  RealGetWindowClassA(focus, real_class, sizeof real_class);
  const auto style = static_cast<std::uint32_t>(GetWindowLongW(focus, GWL_STYLE));
  const ControlKind kind = ClassifyTextControl(real_class, style);
  if (kind == ControlKind::Other) return std::nullopt;
  return TextField(focus, kind, (style & edit_style::kReadOnly) != 0);
}

Result<TextField::Contents> TextField::Read() const {
  auto text = TextOf(control_, kind_);
  if (!text) return MakeError(Errc::Io, "the text field did not give its text");
  // The positions come through the pointers (the system carries them back
  // between processes); the return value alone stops at 65535.
  DWORD start = 0, end = 0;
  if (!Send(control_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end))) {
    return MakeError(Errc::Io, "the text field did not give its selection");
  }
  Contents contents{std::move(*text), {}};
  contents.selection = SelectionInText(contents.view(), start, end, kind_);
  return contents;
}

void TextField::SelectAll() const { Send(control_, EM_SETSEL, 0, -1); }

Status TextField::Replace(const Contents& before, TextRange range, std::wstring_view text) const {
  if (read_only_) return MakeError(Errc::NotDelivered, "the text field is read-only");
  const auto limit = Send(control_, EM_GETLIMITTEXT, 0, 0);
  if (limit && *limit > 0 &&
      !FitsTextLimit(before.text.size(), range, text.size(), static_cast<std::size_t>(*limit))) {
    return MakeError(Errc::NotDelivered, "the text field cannot hold the result");
  }
  // The positions found at the capture are only right for the same text.
  const auto now = TextOf(control_, kind_);
  if (!now) return MakeError(Errc::Io, "the text field did not give its text");
  if (std::wstring_view(now->data(), now->size()) != before.view()) {
    return MakeError(Errc::Interrupted, "the text field changed meanwhile");
  }
  const auto positions = PositionsOfRange(before.view(), range, kind_);
  win32ui::SecureWide with_nul(text.begin(), text.end());
  with_nul.push_back(L'\0');
  if (!Send(control_, EM_SETSEL, positions.first, static_cast<LPARAM>(positions.second)) ||
      !Send(control_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(with_nul.data()))) {
    // A field that stopped answering may still take the text later: only
    // the text read afterwards says what happened.
  }
  const auto after = TextOf(control_, kind_);
  if (!after) return MakeError(Errc::NotDelivered, "the text field did not give its text back");
  const std::wstring_view after_view(after->data(), after->size());
  if (ReplacementArrived(before.view(), range, text, after_view)) return Ok();
  if (after_view == before.view()) return MakeError(Errc::Io, "the text field did not take the text");
  return MakeError(Errc::NotDelivered, "the text in the field is not the result");
}

}  // namespace qvx::shell

// Decisions around another program's text: controls, targets, the clipboard.
#include "shell/model/text_access.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace qvx::shell {

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool StartsIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// The index in `text` of control position `position`.
std::size_t IndexOfPosition(std::wstring_view text, std::size_t position, ControlKind kind) {
  if (kind != ControlKind::RichEdit) return std::min(position, text.size());
  std::size_t index = 0;
  for (std::size_t p = 0; p < position && index < text.size(); ++p) {
    index += text[index] == L'\r' && index + 1 < text.size() && text[index + 1] == L'\n' ? 2 : 1;
  }
  return index;
}

std::size_t PositionOfIndex(std::wstring_view text, std::size_t index, ControlKind kind) {
  index = std::min(index, text.size());
  if (kind != ControlKind::RichEdit) return index;
  std::size_t position = 0;
  for (std::size_t i = 0; i < index; ++i, ++position) {
    if (text[i] == L'\r' && i + 1 < index && text[i + 1] == L'\n') ++i;
  }
  return position;
}

// The text with every CR LF, lone CR and lone LF as one LF.
std::wstring WithPlainBreaks(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r') {
      out.push_back(L'\n');
      if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace

ControlKind ClassifyTextControl(std::string_view real_class, std::uint32_t style) {
  if ((style & edit_style::kPassword) != 0) return ControlKind::Other;
  if (SameIgnoringCase(real_class, "Edit")) return ControlKind::Edit;
  // RichEdit (1.0), RichEdit20A/W (2.0, 3.0), RICHEDIT50W (4.1 and later).
  if (StartsIgnoringCase(real_class, "RichEdit")) return ControlKind::RichEdit;
  return ControlKind::Other;
}

TextRange SelectionInText(std::wstring_view text, std::size_t start, std::size_t end, ControlKind kind) {
  if (start > end) std::swap(start, end);
  return {IndexOfPosition(text, start, kind), IndexOfPosition(text, end, kind)};
}

std::pair<std::size_t, std::size_t> PositionsOfRange(std::wstring_view text, TextRange range,
                                                     ControlKind kind) {
  return {PositionOfIndex(text, range.begin, kind), PositionOfIndex(text, range.end, kind)};
}

bool ReplacementArrived(std::wstring_view before, TextRange replaced, std::wstring_view inserted,
                        std::wstring_view after) {
  if (replaced.begin > replaced.end || replaced.end > before.size()) return false;
  std::wstring expected;
  expected.reserve(before.size() - replaced.size() + inserted.size());
  expected.append(before.substr(0, replaced.begin));
  expected.append(inserted);
  expected.append(before.substr(replaced.end));
  return WithPlainBreaks(expected) == WithPlainBreaks(after);
}

bool FitsTextLimit(std::size_t length, TextRange replaced, std::size_t inserted, std::size_t limit) {
  if (replaced.size() > length) return false;
  const std::size_t kept = length - replaced.size();
  return inserted <= limit && kept <= limit - inserted;
}

bool CanHoldUsersText(const WindowFacts& window) {
  static constexpr std::array<std::string_view, 8> kShellClasses = {
      "Shell_TrayWnd", "Shell_SecondaryTrayWnd", "NotifyIconOverflowWindow", "#32768",
      "#32769",        "Progman",                "WorkerW",                  "tooltips_class32"};
  if (window.id == 0 || !window.visible || window.minimized || window.ours) return false;
  if (window.tool_window || window.cloaked || window.owned) return false;
  return std::none_of(kShellClasses.begin(), kShellClasses.end(),
                      [&](std::string_view name) { return SameIgnoringCase(window.class_name, name); });
}

std::uintptr_t PickTargetWindow(const std::optional<WindowFacts>& in_front_at_menu,
                                const std::vector<WindowFacts>& stacking_order) {
  // The user was working in that window when he opened the menu, topmost or
  // not.
  if (in_front_at_menu && CanHoldUsersText(*in_front_at_menu)) return in_front_at_menu->id;
  std::uintptr_t topmost = 0;
  for (const WindowFacts& window : stacking_order) {
    if (!CanHoldUsersText(window)) continue;
    if (!window.topmost) return window.id;
    if (topmost == 0) topmost = window.id;
  }
  return topmost;
}

bool ShouldRestoreClipboard(SnapshotState snapshot, bool clipboard_still_ours, bool result_left_for_user) {
  return snapshot == SnapshotState::Taken && clipboard_still_ours && !result_left_for_user;
}

std::uint32_t PasteTakenWaitMs(std::uint32_t extra_delay_ms) {
  constexpr std::uint32_t kPasteTakenMs = 8000;
  return kPasteTakenMs + 4 * extra_delay_ms;
}

std::uint32_t ClipboardPatienceMs(std::uint32_t extra_delay_ms) {
  constexpr std::uint32_t kClipboardPatienceMs = 3000;
  return kClipboardPatienceMs + 2 * extra_delay_ms;
}

}  // namespace qvx::shell

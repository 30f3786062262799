// Edits of the Options dialog on a working copy of the settings.
#include "shell/model/options_editor.h"

namespace qvx::shell {

OptionsEditor::OptionsEditor(const Settings& current, std::size_t preselect)
    : backup_(current), edited_(current), row_(preselect < kHotKeyCount ? preselect : 0) {}

void OptionsEditor::Select(std::size_t row) {
  if (row < kHotKeyCount) row_ = row;
}

void OptionsEditor::SetModifier(std::uint32_t bit, bool on) {
  auto& mods = edited_.hot_keys[row_].modifiers;
  mods = on ? (mods | bit) : (mods & ~bit);
}

bool OptionsEditor::TypeKey(std::string_view text) {
  if (text.empty()) return true;
  const auto key = KeyFromTyped(text);
  if (!key) return false;
  edited_.hot_keys[row_].key = *key;
  return true;
}

bool OptionsEditor::SetClearClipboardSeconds(std::string_view text) {
  const auto seconds = ParseOptionNumber(text, SafetyOptions::kLongestClearSeconds);
  if (!seconds) return false;
  edited_.safety.clear_clipboard_seconds = *seconds;
  return true;
}

bool OptionsEditor::SetExtraKeyDelay(std::string_view text) {
  const auto ms = ParseOptionNumber(text, SafetyOptions::kLongestExtraDelayMs);
  if (!ms) return false;
  edited_.safety.extra_key_delay_ms = *ms;
  return true;
}

}  // namespace qvx::shell

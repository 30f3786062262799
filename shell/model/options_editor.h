// What the Options dialog edits, without the dialog: a working copy of the
// settings taken when the dialog opens (the backup stays untouched), the row
// selected in the "Description" list, and the edits of its controls.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "shell/model/settings_model.h"

namespace qvx::shell {

class OptionsEditor {
 public:
  // current: the settings in force; preselect: the row shown first (rows
  // outside the table select row 0).
  OptionsEditor(const Settings& current, std::size_t preselect);

  const Settings& backup() const { return backup_; }
  const Settings& edited() const { return edited_; }

  std::size_t selected_row() const { return row_; }
  void Select(std::size_t row);
  const HotKey& selected() const { return edited_.hot_keys[row_]; }

  // A modifier check box of the selected row changed.
  void SetModifier(std::uint32_t bit, bool on);

  // The key edit now holds "text". An empty edit leaves the key as it is; a
  // character that cannot be a hot key is refused (false), and the caller puts
  // KeyText() back into the edit.
  bool TypeKey(std::string_view text);

  // The selected row's key as the edit shows it.
  std::string KeyText() const { return KeyCharacter(selected().key); }

  void SetShowText(bool on) { edited_.show_text = on; }
  void SetAutorun(bool on) { edited_.autorun = on; }
  void SetLoginAtStartup(bool on) { edited_.login_at_startup = on; }
  void SetKeepClipboard(bool on) { edited_.safety.keep_clipboard = on; }
  void SetHideFromCapture(bool on) { edited_.safety.hide_from_capture = on; }
  void SetDirectAccess(bool on) { edited_.safety.direct_access = on; }
  void SetCryptoFormat(CryptoFormat format) { edited_.crypto_format = format; }
  // The number fields as typed; false (and nothing changes) when the text is
  // not a whole number in the field's range.
  bool SetClearClipboardSeconds(std::string_view text);
  bool SetExtraKeyDelay(std::string_view text);

  // Cancel: every row back as it was when the dialog opened.
  void Revert() { edited_ = backup_; }

 private:
  Settings backup_;
  Settings edited_;
  std::size_t row_ = 0;
};

}  // namespace qvx::shell

// The Options dialog (resource 107): the start-up check boxes, for the row
// chosen in "Description:" the hot key's letter and modifiers, and the
// clipboard and safety options. It edits a copy
// of the settings; the caller applies the result after OK.
#pragma once

#include <optional>

#include "win32ui/dialog.h"
#include "shell/model/options_editor.h"

namespace qvx::shell {

class OptionsDialog final : public win32ui::ModalDialog {
 public:
  OptionsDialog(const Settings& current, std::size_t preselect) : editor_(current, preselect) {}

  // Runs the dialog: the edited settings after OK, nullopt after Cancel or
  // closing (then nothing has changed).
  std::optional<Settings> Ask(HINSTANCE instance);

  // Shows another row while the dialog is open.
  void SelectRow(std::size_t row);

 protected:
  bool OnInit() override;
  void OnCommand(int id, int code) override;
  void OnClose() override;

 private:
  void ShowSelectedRow();
  void KeyEditChanged();
  // Hands a number field to the editor; a value it refuses is explained and
  // the field selected (false).
  bool TakeNumber(int control, bool (OptionsEditor::*set)(std::string_view), Msg invalid);

  OptionsEditor editor_;
  bool updating_ = false;  // the dialog itself is setting control values
  bool accepted_ = false;
};

}  // namespace qvx::shell

// Message boxes of the tray program: string-table texts in a box with no owner
// window, the caption "Quorvix" and MB_SYSTEMMODAL.
#pragma once

#include <windows.h>

#include "platform/ui.h"

namespace qvx::win32ui {

class MessageBoxes final : public MessageUi {
 public:
  explicit MessageBoxes(HINSTANCE instance) : instance_(instance) {}
  // "%s" in the text is replaced by arg.
  void Show(Msg id, BoxKind kind = BoxKind::Plain, std::string_view arg = {}) override;
  bool Confirm(Msg id) override;
  bool ConfirmWarning(Msg id, std::string_view arg) override;

  // The text a box for this id shows.
  std::string Text(Msg id, std::string_view arg = {}) const;

 private:
  HINSTANCE instance_;
};

}  // namespace qvx::win32ui

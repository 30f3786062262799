// What the text commands need of the tray program, and nothing more: the
// hidden main window (the user's window is found behind it), the one text
// operation at a time, the message boxes, and the settings a command reads
// when it starts. The App is the one host; commands keep no pointer to it
// once their run is under way.
#pragma once

#include <windows.h>

#include <memory>

#include "shell/model/operation_gate.h"
#include "shell/model/settings_model.h"
#include "win32ui/message_box.h"

namespace qvx::shell {

class TextCommandHost {
 public:
  virtual ~TextCommandHost() = default;
  virtual HWND main_window() const = 0;
  virtual const std::shared_ptr<OperationGate>& text_operations() const = 0;
  virtual win32ui::MessageBoxes& messages() = 0;
  // Read on the main thread when a command starts.
  virtual const Settings& settings() const = 0;
  // The user's window as it was when the tray menu last opened (before the
  // menu took the foreground), handed out once; nullptr when there is none.
  // Menu commands work on it; hot keys on the window in front.
  virtual HWND TakeMenuTarget() = 0;
};

}  // namespace qvx::shell

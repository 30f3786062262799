// "Encryption/Decryption Progress": the progress bar and Cancel button shown
// while a long text is enciphered or deciphered. The dialog runs on a thread
// of its own, so that it stays responsive while the caller's thread works;
// the worker reads the Cancel state after every block.
#pragma once

#include "platform/ui.h"

namespace qvx::win32ui {

class DialogProgress final : public ProgressUi {
 public:
  // Shows the dialog and returns once it exists; it closes when the scope
  // goes away.
  std::unique_ptr<ProgressScope> StartProgress() override;
};

}  // namespace qvx::win32ui

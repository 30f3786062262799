// The two windows that show a text: the viewer (a result that is not pasted
// straight back, with Save, "Past back", "Past back && Close" and Close) and
// the window that shows the original text before it is encrypted or signed
// ("Right text" goes on, "Wrong text" or closing stops).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/secure.h"
#include "platform/trace.h"
#include "shell/model/operation_gate.h"
#include "shell/model/target_checks.h"

namespace qvx::shell {


// Opens a viewer with the text on a thread of its own and returns without
// waiting for it; several viewers can be open at once. "Past back" pastes the
// (possibly edited) text into `target` through a text operation of the gate;
// with no target (a text from the clipboard) "Past back" and "Past back &&
// Close" are disabled, and no gate is needed. A caption, when given, replaces
// the window's own. False when no thread could be started.
// The viewer's text is wiped from memory when it closes; Edit > Copy and Cut
// mark what they put on the clipboard as private and have it cleared after
// the user's time. `trace` gets the moment the viewer holds the text.
bool ShowTextViewer(const SecureString& text, const WindowIdentity& target,
                    std::shared_ptr<OperationGate> gate, OperationTrace trace,
                    std::string caption = {});

// Shows the original text, modally on the calling thread; true when the user
// chose "Right text", false for "Wrong text" or the close box.
bool ConfirmOriginalText(std::string_view text);

}  // namespace qvx::shell

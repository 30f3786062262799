// Tooltips on a dialog's buttons, their texts from the string table.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "qvx/strings.h"

namespace qvx::win32ui {

struct Tooltip {
  int control;  // control id in the dialog
  Msg text;     // string-table text shown for it
};

// Creates one tooltip window for the dialog with one tool per control (a
// control id the dialog lacks is skipped) and activates it. The tooltip
// window belongs to the dialog and goes with it; the return value is only for
// callers that want to change it (nullptr if it could not be created).
HWND AttachTooltips(HWND dialog, std::initializer_list<Tooltip> tips);

}  // namespace qvx::win32ui

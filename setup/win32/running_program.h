// Closing a running Quorvix before its files are replaced or removed: every
// main window of class "QVX_Class" on this desktop gets WM_CLOSE, and the
// process behind it is waited for, with a time limit.
#pragma once

namespace qvx::setup {

// True when no Quorvix main window is left and the processes that owned them
// have ended within the time limit (also when none was running).
bool CloseRunningQuorvix(unsigned long timeout_ms);

}  // namespace qvx::setup

// The "Creating Key Pair" window: shown while a long job (generating a key
// pair) runs on a worker thread, its progress bar sweeping up and down as a
// sign of activity. The calling thread runs the window's message loop, so its
// other windows keep painting.
#pragma once

#include <windows.h>

#include <functional>

namespace qvx::keys::ui {

// Runs the job on a worker thread and shows the busy window (owned by the
// given window, which it disables meanwhile) until the job has ended. The
// job must not touch windows; an exception ends it quietly. When the window
// cannot be shown the job runs on the calling thread.
void RunWithBusyWindow(HINSTANCE instance, HWND owner, const std::function<void()>& job);

}  // namespace qvx::keys::ui

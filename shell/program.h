// The one place where Quorvix.exe is put together: every part is made here,
// in a fixed order, and handed the parts it needs when it is made.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qvx::shell {

// The whole life of the process after WinMain: the start request of the
// command line (the setup wizard, the install step, a key file, or the tray
// program). Returns the exit code.
int RunProgram(HINSTANCE instance, const std::vector<std::string>& args);

}  // namespace qvx::shell

// uninstall.exe: removes Quorvix (see uninstaller.h). A Windows program with
// no window of its own; it talks to the user through message boxes only.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "uninstall/uninstaller.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  try {
    // The C runtime splits the command line by the usual rules.
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
    if (const auto cleanup = qvx::setup::ParseCleanupArguments(args)) {
      return qvx::uninstall::RunCleanup(*cleanup);
    }
    return qvx::uninstall::Uninstaller(instance).Run();
  } catch (...) {
    return 1;
  }
}

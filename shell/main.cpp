// Quorvix.exe: the tray program (and, by its command-line arguments, the
// installer and the key-file viewer).
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/settings.h"
#include "shell/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  try {
    // The C runtime splits the command line by the usual rules, quotes removed.
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
    qvx::shell::App app(instance, qvx::OpenUserSettings());
    return app.Run(args);
  } catch (...) {
    return 0;
  }
}

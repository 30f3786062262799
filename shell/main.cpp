// Quorvix.exe: the tray program (and, by its command-line arguments, the
// installer and the key-file viewer). Everything is assembled in
// shell/program.cpp.
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "shell/program.h"
#include "win32ui/message_box.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  try {
    // The C runtime splits the command line by the usual rules, quotes removed.
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
    return qvx::shell::RunProgram(instance, args);
  } catch (const std::bad_alloc&) {
    qvx::win32ui::MessageBoxes(instance).Show(qvx::Msg::MemoryAllocationError, qvx::BoxKind::Error);
  } catch (...) {
    qvx::win32ui::MessageBoxes(instance).Show(qvx::Msg::UnexpectedError, qvx::BoxKind::Error);
  }
  return 0;
}

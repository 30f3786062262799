// uninstall.exe: asks first. The removal itself is not built yet, so it says so
// instead of pretending to have removed anything.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  char question[256] = {};
  LoadStringA(instance, 1, question, sizeof question);
  if (MessageBoxA(nullptr, question, "Quorvix", MB_OKCANCEL) != IDOK) return 0;
  MessageBoxA(nullptr, "This version of the uninstaller cannot remove Quorvix yet; nothing was removed.",
              "Quorvix", MB_ICONERROR);
  return 1;
}

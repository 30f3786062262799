// Win32 console no-echo line input for password prompts.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/terminal.h"

namespace qvx {

Result<SecureString> ReadSecretLine(const std::string& prompt) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) {
    return MakeError(Errc::InvalidArgument,
                     "no console to ask for a password (use --password-file or --password-env)");
  }
  std::fprintf(stderr, "%s", prompt.c_str());
  std::fflush(stderr);
  SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  SecureString line;
  char c = 0;
  DWORD got = 0;
  bool ok = true;
  for (;;) {
    if (!ReadFile(input, &c, 1, &got, nullptr) || got == 0) {
      ok = !line.empty();
      break;
    }
    if (c == '\n') break;
    if (c != '\r') line.append(std::string_view(&c, 1));
  }
  c = 0;
  SetConsoleMode(input, mode);
  std::fprintf(stderr, "\n");
  if (!ok) return MakeError(Errc::Cancelled, "no password entered");
  return line;
}

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace qvx

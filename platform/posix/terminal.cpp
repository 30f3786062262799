// POSIX no-echo line input for password prompts.
#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "platform/terminal.h"

namespace qvx {

Result<SecureString> ReadSecretLine(const std::string& prompt) {
  if (!::isatty(STDIN_FILENO)) {
    return MakeError(Errc::InvalidArgument,
                     "no terminal to ask for a password (use --password-file or --password-env)");
  }
  std::fprintf(stderr, "%s", prompt.c_str());
  std::fflush(stderr);
  termios old{};
  ::tcgetattr(STDIN_FILENO, &old);
  termios quiet = old;
  quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  SecureString line;
  char c = 0;
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n <= 0) {
      ok = !line.empty();
      break;
    }
    if (c == '\n' || c == '\r') break;
    line.append(std::string_view(&c, 1));
  }
  c = 0;
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
  std::fprintf(stderr, "\n");
  if (!ok) return MakeError(Errc::Cancelled, "no password entered");
  return line;
}

void UseBinaryStandardStreams() {}  // POSIX streams never translate

}  // namespace qvx

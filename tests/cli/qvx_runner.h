// Runs the qvx program in a shell and reports its exit code and error output.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace qvx::test {

struct QvxRun {
  int code = -1;
  std::string err;
};

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The program that runs qvx when it is built for another machine (qemu-i386
// for the 32-bit build); empty otherwise.
#ifndef QVX_EXE_LAUNCHER
#define QVX_EXE_LAUNCHER ""
#endif

// args is appended to the program path as shell text; stderr is captured.
inline QvxRun Qvx(const std::string& args, const std::string& err_file) {
  const std::string launcher = QVX_EXE_LAUNCHER;
  const std::string command = (launcher.empty() ? "" : "'" + launcher + "' ") + "'" QVX_EXE "' " +
                              args + " 2>'" + err_file + "'";
  const int status = std::system(command.c_str());
  QvxRun result;
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = ReadText(err_file);
  return result;
}

}  // namespace qvx::test

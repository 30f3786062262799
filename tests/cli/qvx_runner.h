// Runs the qvx program in a shell and reports its exit code and error output.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace qvx::test {

struct QvxRun {
  int code = -1;
  std::string err;
  long peak_kib = 0;  // largest resident set of the program, KiB
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

// As Qvx, and measures the program's peak memory (the shell execs qvx, so
// the child's resource usage is that of qvx alone).
inline QvxRun QvxMeasured(const std::string& args, const std::string& err_file) {
  const std::string command = "exec '" QVX_EXE "' " + args + " 2>'" + err_file + "'";
  QvxRun result;
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return result;
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.peak_kib = usage.ru_maxrss;
  result.err = ReadText(err_file);
  return result;
}

}  // namespace qvx::test

// Starting programs for end-to-end tests and waiting for conditions with a
// time limit (never for a fixed time).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace qvx::e2e {

// Default time limit for anything the tests wait for. Generous: Wine on a
// loaded two-core machine can take seconds to start a process.
inline constexpr DWORD kTimeoutMs = 20000;

// Polls condition every few milliseconds until it holds or the time is up;
// returns its last value.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms = kTimeoutMs);

// A started process. Ended (TerminateProcess) on destruction if it still runs.
class Process {
 public:
  Process() = default;
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  // Starts a program: command_line is given to CreateProcess as it is.
  static Process Start(const std::string& command_line, const std::string& working_dir = {});

  bool started() const { return info_.hProcess != nullptr; }
  // One line on how the process stands (for a test that waited for it in vain).
  std::string Describe() const;
  DWORD pid() const { return info_.dwProcessId; }
  DWORD main_thread_id() const { return info_.dwThreadId; }
  bool Running() const;
  // The exit code once the process has ended within the time limit.
  std::optional<DWORD> WaitExit(DWORD timeout_ms = kTimeoutMs) const;
  void Kill();

 private:
  void Release();
  PROCESS_INFORMATION info_{};
  DWORD start_error_ = 0;  // GetLastError of CreateProcess when it failed
};

// Quotes one command-line argument by the usual rules.
std::string QuoteArgument(const std::string& arg);

}  // namespace qvx::e2e

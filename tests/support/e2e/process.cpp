// Processes and waiting.
#include "tests/support/e2e/process.h"

#include <utility>

namespace qvx::e2e {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return condition();
    Sleep(15);
  }
}

Process::Process(Process&& other) noexcept
    : info_(std::exchange(other.info_, {})), start_error_(std::exchange(other.start_error_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Release();
    info_ = std::exchange(other.info_, {});
    start_error_ = std::exchange(other.start_error_, 0);
  }
  return *this;
}

Process::~Process() { Release(); }

void Process::Release() {
  if (info_.hProcess == nullptr) return;
  Kill();
  CloseHandle(info_.hProcess);
  CloseHandle(info_.hThread);
  info_ = {};
}

Process Process::Start(const std::string& command_line, const std::string& working_dir) {
  Process p;
  std::string line = command_line;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      working_dir.empty() ? nullptr : working_dir.c_str(), &si, &p.info_)) {
    p.start_error_ = GetLastError();
    p.info_ = {};
  }
  return p;
}

std::string Process::Describe() const {
  if (!started()) return "not started (CreateProcess error " + std::to_string(start_error_) + ")";
  const std::string pid = "process " + std::to_string(info_.dwProcessId);
  if (Running()) return pid + " still running";
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return pid + " ended with exit code " + std::to_string(code);
}

bool Process::Running() const {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::WaitExit(DWORD timeout_ms) const {
  if (info_.hProcess == nullptr) return std::nullopt;
  if (WaitForSingleObject(info_.hProcess, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  if (!GetExitCodeProcess(info_.hProcess, &code)) return std::nullopt;
  return code;
}

void Process::Kill() {
  if (Running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
}

std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

}  // namespace qvx::e2e

// A timing trace of the user's text operations, for finding where the time of
// a hot key goes: one line per phase (hot key or menu command received, target
// found, keys played, copy seen on the clipboard, prompt shown, OK pressed,
// engine done, written back, clipboard restored, viewer filled), each with the
// milliseconds since the operation began and since the phase before.
//
// Off unless asked for: the settings value "Trace" (1 = on) or the environment
// variable QVX_TRACE ("1" or a file path; "0" or empty = off). The log is
// appended to, so runs can be compared; it never holds any of the user's text,
// only phase names and sizes.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qvx {

// Where the trace goes, if anywhere: the environment wins over the setting; a
// value of the variable other than "1" names the log file, otherwise it is
// `default_path`.
std::optional<std::string> ChooseTraceFile(std::optional<std::uint32_t> setting,
                                           const char* environment, const std::string& default_path);

// The trace of one operation. A default-constructed trace is off and costs
// nothing; copies write to the same log.
class OperationTrace {
 public:
  using Clock = std::chrono::steady_clock;

  OperationTrace() = default;
  // Appends to the file at `path`; off when it cannot be opened. Writes the
  // operation's first line, "command received" with the local time, at once.
  OperationTrace(const std::string& path, std::string_view operation);

  bool on() const { return log_ != nullptr; }

  // One line for a phase just reached; `detail` says more (sizes, a result).
  void Mark(std::string_view phase, std::string_view detail = {});

  // The line Mark writes, for the given times (in whole milliseconds).
  static std::string FormatLine(std::string_view operation, long long since_start_ms,
                                long long since_last_ms, std::string_view phase,
                                std::string_view detail);

 private:
  struct Log;
  std::shared_ptr<Log> log_;
};

}  // namespace qvx

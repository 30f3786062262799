#include "platform/trace.h"

#include <mutex>

#include "platform/system.h"

namespace qvx {

std::optional<std::string> ChooseTraceFile(std::optional<std::uint32_t> setting,
                                           const char* environment, const std::string& default_path) {
  if (environment != nullptr) {
    const std::string_view value(environment);
    if (value.empty() || value == "0") return std::nullopt;
    if (value == "1") return default_path;
    return std::string(value);
  }
  if (setting.value_or(0) != 0) return default_path;
  return std::nullopt;
}

// One open log shared by the copies of a trace; a phase may be marked from
// the operation's thread and from a window's.
struct OperationTrace::Log {
  std::mutex mutex;
  std::FILE* file = nullptr;
  std::string operation;
  Clock::time_point start;
  Clock::time_point last;

  ~Log() {
    if (file != nullptr) std::fclose(file);
  }

  // Writes a whole line at once, so that a reader of the log never sees half.
  void Append(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);
  }
};

OperationTrace::OperationTrace(const std::string& path, std::string_view operation) {
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) return;
  log_ = std::make_shared<Log>();
  log_->file = file;
  log_->operation = std::string(operation);
  // The wall-clock stamp is read first (the first local time of a process
  // can take milliseconds): the trace's zero is the moment of its first line.
  const CivilTime now = FileTimeToCivil(LocalFileTimeNow());
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", now.year, now.month,
                now.day, now.hour, now.minute, now.second, now.millisecond);
  log_->start = log_->last = Clock::now();
  log_->Append(FormatLine(log_->operation, 0, 0, "command received", stamp));
}

std::string OperationTrace::FormatLine(std::string_view operation, long long since_start_ms,
                                       long long since_last_ms, std::string_view phase,
                                       std::string_view detail) {
  char times[48];
  std::snprintf(times, sizeof times, "%8lld ms %+7lld ms  ", since_start_ms, since_last_ms);
  std::string line;
  line.reserve(80);
  line.append(operation).append("  ").append(times).append(phase);
  if (!detail.empty()) line.append("  (").append(detail).append(")");
  line.append("\n");
  return line;
}

void OperationTrace::Mark(std::string_view phase, std::string_view detail) {
  if (!log_) return;
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  const std::lock_guard<std::mutex> lock(log_->mutex);
  const Clock::time_point now = Clock::now();
  const std::string line =
      FormatLine(log_->operation, duration_cast<milliseconds>(now - log_->start).count(),
                 duration_cast<milliseconds>(now - log_->last).count(), phase, detail);
  log_->last = now;
  log_->Append(line);
}

}  // namespace qvx

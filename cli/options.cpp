// Shared option parsing, file and terminal input/output for qvx.
#include "cli/options.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/terminal_support.h"
#include "platform/files.h"
#include "platform/terminal.h"

namespace qvx::cli {

bool ParsedArgs::Has(const std::string& name) const {
  for (const auto& s : switches) {
    if (s == name) return true;
  }
  return values.count(name) > 0;
}

std::optional<std::string> ParsedArgs::Value(const std::string& name) const {
  auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> ParsedArgs::Values(const std::string& name) const {
  std::vector<std::string> out;
  for (const auto& [option, value] : all_values) {
    if (option == name) out.push_back(value);
  }
  return out;
}

std::optional<ParsedArgs> ParseArgs(const Args& args, const std::vector<std::string>& value_options,
                                    const std::vector<std::string>& switch_options) {
  auto contains = [](const std::vector<std::string>& list, const std::string& s) {
    for (const auto& x : list) {
      if (x == s) return true;
    }
    return false;
  };
  ParsedArgs parsed;
  bool only_positional = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (only_positional || a == "-" || a.empty() || a[0] != '-') {
      parsed.positional.push_back(a);
    } else if (a == "--") {
      only_positional = true;
    } else if (contains(value_options, a)) {
      if (i + 1 >= args.size()) {
        PrintError("option " + a + " needs a value");
        return std::nullopt;
      }
      parsed.values[a] = args[i + 1];
      parsed.all_values.emplace_back(a, args[i + 1]);
      ++i;
    } else if (contains(switch_options, a)) {
      parsed.switches.push_back(a);
    } else {
      PrintError("unknown option " + a);
      return std::nullopt;
    }
  }
  return parsed;
}

Result<SecureBytes> ReadSecretInput(const std::string& path) {
  if (!path.empty() && path != "-") return NativeFileSystem().ReadSecretFile(path);
  UseBinaryStandardStreams();
  // Unbuffered, so that fread fills our buffer directly and no copy stays
  // behind in stdin's own buffer.
  std::setvbuf(stdin, nullptr, _IONBF, 0);
  SecureBytes data(65536);
  std::size_t done = 0;
  for (;;) {
    if (done == data.size()) data.resize(data.size() * 2);
    const std::size_t n = std::fread(data.data() + done, 1, data.size() - done, stdin);
    done += n;
    if (n == 0) {
      if (std::ferror(stdin)) return MakeError(Errc::Io, "cannot read standard input");
      break;
    }
  }
  data.resize(done);
  return data;
}

Result<std::vector<std::uint8_t>> ReadInput(const std::string& path) {
  if (!path.empty() && path != "-") return NativeFileSystem().ReadFile(path);
  UseBinaryStandardStreams();
  std::vector<std::uint8_t> data;
  std::uint8_t chunk[65536];
  for (;;) {
    const std::size_t n = std::fread(chunk, 1, sizeof chunk, stdin);
    data.insert(data.end(), chunk, chunk + n);
    if (n < sizeof chunk) {
      if (std::ferror(stdin)) return MakeError(Errc::Io, "cannot read standard input");
      break;
    }
  }
  return data;
}

std::optional<Error> OutputPathProblem(const std::string& path) {
  // The atomic replace renames a new file over the name: right for a regular
  // file (whose permissions it keeps), wrong for anything else, which it
  // would silently replace (a link by a file, a device or FIFO by a file, even
  // /dev/null). Those are refused and left as they are.
  const char* kind = nullptr;
  switch (InspectPath(path)) {
    case PathKind::Missing:
    case PathKind::Regular: return std::nullopt;
    case PathKind::Link: kind = "a symbolic link"; break;
    case PathKind::Directory: kind = "a folder"; break;
    case PathKind::Other: kind = "a device, pipe or socket"; break;
  }
  return MakeError(Errc::Io, "will not write over " + path + ": it is " + kind +
                                 ", not a regular file (name a regular file, or - for standard output)");
}

Status WriteOutput(const std::string& path, const std::uint8_t* data, std::size_t size) {
  if (!path.empty() && path != "-") {
    if (auto problem = OutputPathProblem(path)) return *problem;
    return NativeFileSystem().WriteFileAtomic(path, data, size);
  }
  UseBinaryStandardStreams();
  if (size > 0 && std::fwrite(data, 1, size, stdout) != size) {
    return MakeError(Errc::Io, "cannot write standard output");
  }
  if (std::fflush(stdout) != 0) return MakeError(Errc::Io, "cannot write standard output");
  return Ok();
}

Result<SecureString> ReadPassword(const ParsedArgs& args, const std::string& prompt, bool confirm,
                                  const std::string& option_prefix) {
  if (auto file = args.Value("--" + option_prefix + "-file")) {
    auto data = NativeFileSystem().ReadSecretFile(*file);
    if (!data) return data.error();
    std::size_t end = 0;
    while (end < data->size() && (*data)[end] != '\n' && (*data)[end] != '\r') ++end;
    data->resize(end);  // the first line only; the rest is wiped with the buffer
    return SecureString(std::move(*data));
  }
  if (auto env = args.Value("--" + option_prefix + "-env")) {
    const char* value = std::getenv(env->c_str());
    if (value == nullptr) {
      return MakeError(Errc::InvalidArgument, "environment variable " + *env + " is not set");
    }
    return SecureString(value);
  }
  auto first = ReadSecretLine(prompt);
  if (!first) return first.error();
  if (confirm) {
    auto second = ReadSecretLine("Confirm " + prompt);
    if (!second) return second.error();
    if (*first != *second) return MakeError(Errc::InvalidArgument, "the passwords do not match");
  }
  return first;
}

std::optional<std::size_t> ParseByteCount(const std::string& text) {
  std::uint64_t value = 0;
  std::size_t i = 0;
  bool saturated = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (value > (UINT64_MAX - digit) / 10) saturated = true;
    if (!saturated) value = value * 10 + digit;
  }
  if (i == 0) return std::nullopt;
  unsigned shift = 0;
  if (i + 1 == text.size()) {
    switch (text[i]) {
      case 'k': case 'K': shift = 10; break;
      case 'm': case 'M': shift = 20; break;
      case 'g': case 'G': shift = 30; break;
      default: return std::nullopt;
    }
  } else if (i != text.size()) {
    return std::nullopt;
  }
  if (value > (UINT64_MAX >> shift)) saturated = true;
  value <<= shift;
  if (saturated || value > SIZE_MAX) return SIZE_MAX;
  return static_cast<std::size_t>(value);
}

std::optional<std::size_t> MaxOutput(const ParsedArgs& args) {
  const auto text = args.Value(kMaxOutputOption);
  if (!text) return kDefaultMaxOutput;
  auto bytes = ParseByteCount(*text);
  if (!bytes) PrintError(std::string(kMaxOutputOption) + " takes a size such as 300M or 2G, not '" + *text + "'");
  return bytes;
}

void PrintError(const std::string& message) { std::cerr << "qvx: " << TerminalSafe(message) << std::endl; }

int ExitCodeFor(Errc code) {
  switch (code) {
    case Errc::WrongPassword: return kExitWrongPassword;
    case Errc::Corrupted: return kExitCorrupted;
    case Errc::Io: return kExitIo;
    case Errc::NotFound: return kExitNotFound;
    case Errc::Cancelled: return kExitCancelled;
    case Errc::InvalidArgument: return kExitUsage;
    default: return kExitFailure;
  }
}

}  // namespace qvx::cli

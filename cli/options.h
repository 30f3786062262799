// Option parsing and input/output helpers shared by the qvx commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/command.h"
#include "platform/result.h"
#include "platform/secure.h"

namespace qvx::cli {

// Parsed command line: "--name value" options, "--flag" switches and the
// remaining positional arguments. Unknown options are reported as usage errors.
struct ParsedArgs {
  std::map<std::string, std::string> values;  // the last value of each option
  std::vector<std::pair<std::string, std::string>> all_values;  // every one, in order
  std::vector<std::string> switches;
  std::vector<std::string> positional;

  bool Has(const std::string& name) const;
  std::optional<std::string> Value(const std::string& name) const;
  // Every value given for a repeatable option, in order.
  std::vector<std::string> Values(const std::string& name) const;
};

// value_options take a value ("-o FILE" or "--output FILE"; short names are
// listed as e.g. "-o"), switch_options do not. Returns nullopt after printing
// the problem to stderr.
std::optional<ParsedArgs> ParseArgs(const Args& args, const std::vector<std::string>& value_options,
                                    const std::vector<std::string>& switch_options);

// Reads a whole file, or standard input for "-" or an empty path.
Result<std::vector<std::uint8_t>> ReadInput(const std::string& path);
// The same for a text that is a secret (one to be encrypted): the only copy
// of its bytes is the wiped buffer returned.
Result<SecureBytes> ReadSecretInput(const std::string& path);

// Why an output path cannot be written (Io, with the reason), nullopt when it
// can: only a new name or a regular file is written; a symbolic link, folder,
// device or FIFO is refused.
std::optional<Error> OutputPathProblem(const std::string& path);

// Writes a whole file atomically (keeping an existing file's permissions), or
// standard output for "-" or an empty path; OutputPathProblem first.
Status WriteOutput(const std::string& path, const std::uint8_t* data, std::size_t size);

// A password from, in this order: --password-file FILE (its first line, line
// break removed), --password-env NAME, or the terminal without echo (asking
// twice when confirm is set). option_prefix lets commands take a second
// password, e.g. "key-password" for --key-password-file.
Result<SecureString> ReadPassword(const ParsedArgs& args, const std::string& prompt, bool confirm,
                                  const std::string& option_prefix = "password");

// The most output qvx decodes from one input unless --max-output says more:
// far beyond any honest text, and a bound on the memory a hostile input can
// take (a few kilobytes of compressed data can decode to gigabytes).
constexpr std::size_t kDefaultMaxOutput = std::size_t{256} << 20;
constexpr const char* kMaxOutputOption = "--max-output";

// A byte count: digits with an optional K, M or G suffix (binary multiples,
// any case); values beyond what this platform can address become SIZE_MAX.
// nullopt for anything else.
std::optional<std::size_t> ParseByteCount(const std::string& text);

// The value of --max-output, kDefaultMaxOutput without one; nullopt after
// printing the problem to stderr.
std::optional<std::size_t> MaxOutput(const ParsedArgs& args);

// Prints "qvx: <message>" to stderr, with control characters escaped
// (TerminalSafe): messages carry names and paths from files.
void PrintError(const std::string& message);

// Maps a core error to the exit code.
int ExitCodeFor(Errc code);

}  // namespace qvx::cli

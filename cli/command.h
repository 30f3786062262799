// qvx subcommands register themselves here; main() dispatches on the first
// argument. Each command parses its own options with the helpers in options.h.
#pragma once

#include <string>
#include <vector>

namespace qvx::cli {

// Process exit codes, shared by every command.
enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,        // anything not listed below
  kExitUsage = 2,          // bad command line
  kExitWrongPassword = 3,  // wrong password (or data that fails its checks under the key)
  kExitCorrupted = 4,      // damaged block, file or record
  kExitIo = 5,             // unreadable input, unwritable output
  kExitNotFound = 6,       // key, account or record not found
  kExitCancelled = 7,      // the user declined a prompt
};

using Args = std::vector<std::string>;
using CommandFn = int (*)(const Args& args);  // args: everything after the command name

struct CommandInfo {
  const char* name;     // e.g. "encrypt", or "keys" for a command with its own subcommands
  const char* summary;  // one line for "qvx --help"
  const char* usage;    // full text for "qvx help <name>"
  CommandFn run;
};

// Registers a command at program start; use one static instance per command.
class RegisterCommand {
 public:
  explicit RegisterCommand(const CommandInfo& info);
};

// All registered commands, sorted by name.
std::vector<CommandInfo> Commands();

}  // namespace qvx::cli

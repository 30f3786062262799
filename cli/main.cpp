// qvx: command-line front end over the portable cores. Commands live in
// cmd_*.cpp files and register themselves (command.h).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/command.h"
#include "qvx/version.h"

namespace qvx::cli {

namespace {
std::vector<CommandInfo>& Registry() {
  static std::vector<CommandInfo> commands;
  return commands;
}

void PrintUsage(std::FILE* out) {
  std::fputs("usage: qvx <command> [options]\n\nCommands:\n", out);
  for (const auto& c : Commands()) std::fprintf(out, "  %-12s %s\n", c.name, c.summary);
  std::fputs("\n  --help       show this text; qvx help <command> shows a command's options\n"
             "  --version    show the program version\n",
             out);
}
}  // namespace

RegisterCommand::RegisterCommand(const CommandInfo& info) { Registry().push_back(info); }

std::vector<CommandInfo> Commands() {
  auto commands = Registry();
  std::sort(commands.begin(), commands.end(),
            [](const CommandInfo& a, const CommandInfo& b) { return std::strcmp(a.name, b.name) < 0; });
  return commands;
}

}  // namespace qvx::cli

int main(int argc, char** argv) {
  using namespace qvx::cli;
  if (argc < 2) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h") {
    PrintUsage(stdout);
    return kExitOk;
  }
  if (name == "--version") {
    std::puts("qvx " QVX_VERSION_TEXT);
    return kExitOk;
  }
  if (name == "help") {
    if (argc < 3) {
      PrintUsage(stdout);
      return kExitOk;
    }
    for (const auto& c : Commands()) {
      if (argv[2] == std::string(c.name)) {
        std::fputs(c.usage, stdout);
        return kExitOk;
      }
    }
    std::fprintf(stderr, "qvx: unknown command '%s' (see qvx --help)\n", argv[2]);
    return kExitUsage;
  }
  for (const auto& c : Commands()) {
    if (name == c.name) return c.run(Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "qvx: unknown command '%s' (see qvx --help)\n", name.c_str());
  return kExitUsage;
}

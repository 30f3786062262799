// What the first command-line argument of Quorvix.exe asks for. The tests run
// in a fixed order on the same argument, so one argument can ask for more than
// one thing (an "install" start whose name is also an existing file).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::shell {

struct StartRequest {
  bool setup_wizard = false;  // "startinstall"
  bool install_step = false;  // "install"
  bool autostart = false;    // "regrun": started from the Run key at logon
  std::optional<std::string> key_file;  // an existing path: show it as a key file, then end
};

// args: the arguments after the program name, quotes removed. exists: whether
// a path names an existing file or folder. Names compare case-insensitively
// (ASCII); only the first argument counts.
StartRequest ParseStartArguments(const std::vector<std::string>& args,
                                 const std::function<bool(const std::string&)>& exists);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace qvx::shell

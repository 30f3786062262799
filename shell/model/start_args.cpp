// Parsing the first command-line argument.
#include "shell/model/start_args.h"

namespace qvx::shell {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

StartRequest ParseStartArguments(const std::vector<std::string>& args,
                                 const std::function<bool(const std::string&)>& exists) {
  StartRequest request;
  if (args.empty()) return request;
  const std::string& arg = args.front();
  request.setup_wizard = EqualsIgnoringCase(arg, "startinstall");
  request.install_step = EqualsIgnoringCase(arg, "install");
  request.autostart = EqualsIgnoringCase(arg, "regrun");
  if (!arg.empty() && exists(arg)) request.key_file = arg;
  return request;
}

}  // namespace qvx::shell

// What the first command-line argument asks for.
#include <gtest/gtest.h>

#include <set>

#include "shell/model/start_args.h"

namespace qvx::shell {
namespace {

TEST(StartArguments, FirstArgumentOnly) {
  const std::set<std::string> existing = {"C:\\keys\\friend.qvx", "install"};
  auto exists = [&](const std::string& p) { return existing.count(p) != 0; };
  const struct {
    std::vector<std::string> args;
    bool wizard, install, autostart;
    std::optional<std::string> key_file;
  } cases[] = {
      {{}, false, false, false, std::nullopt},
      {{"startinstall"}, true, false, false, std::nullopt},
      {{"StartInstall"}, true, false, false, std::nullopt},
      {{"INSTALL"}, false, true, false, std::nullopt},
      {{"regrun"}, false, false, true, std::nullopt},
      {{"ReGrUn", "install"}, false, false, true, std::nullopt},
      {{"C:\\keys\\friend.qvx"}, false, false, false, "C:\\keys\\friend.qvx"},
      {{"C:\\keys\\missing.qvx"}, false, false, false, std::nullopt},
      // An installer argument that is also the name of an existing file.
      {{"install"}, false, true, false, "install"},
      {{"x", "regrun"}, false, false, false, std::nullopt},
      {{""}, false, false, false, std::nullopt},
      {{"regrun2"}, false, false, false, std::nullopt},
  };
  for (const auto& c : cases) {
    const StartRequest r = ParseStartArguments(c.args, exists);
    const std::string trace = c.args.empty() ? "(none)" : c.args.front();
    EXPECT_EQ(r.setup_wizard, c.wizard) << trace;
    EXPECT_EQ(r.install_step, c.install) << trace;
    EXPECT_EQ(r.autostart, c.autostart) << trace;
    EXPECT_EQ(r.key_file, c.key_file) << trace;
  }
}

TEST(StartArguments, CaseInsensitiveOnlyForAscii) {
  EXPECT_TRUE(EqualsIgnoringCase("REGRUN", "regrun"));
  EXPECT_FALSE(EqualsIgnoringCase("regrun ", "regrun"));
  EXPECT_FALSE(EqualsIgnoringCase("\xC4", "\xE4"));
}

}  // namespace
}  // namespace qvx::shell

// The timing trace: when it is on, where it goes, and what a line says.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "platform/trace.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

TEST(Trace, EnvironmentWinsOverTheSettingAndNamesTheFile) {
  const std::string fallback = "/folder/Quorvix-trace.log";
  struct Case {
    std::optional<std::uint32_t> setting;
    const char* environment;
    std::optional<std::string> expected;
  } cases[] = {
      {std::nullopt, nullptr, std::nullopt},
      {0u, nullptr, std::nullopt},
      {1u, nullptr, fallback},
      {7u, nullptr, fallback},  // any non-zero DWORD is on
      {std::nullopt, "1", fallback},
      {std::nullopt, "/tmp/t.log", std::string("/tmp/t.log")},
      {1u, "0", std::nullopt},  // the environment turns a stored setting off
      {1u, "", std::nullopt},
      {0u, "1", fallback},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseTraceFile(c.setting, c.environment, fallback), c.expected)
        << (c.environment ? c.environment : "(unset)") << " / " << c.setting.value_or(99);
  }
}

TEST(Trace, LinesNameTheOperationTheTimesThePhaseAndTheDetail) {
  EXPECT_EQ(OperationTrace::FormatLine("sign", 1234, 17, "keys played", ""),
            "sign      1234 ms     +17 ms  keys played\n");
  EXPECT_EQ(OperationTrace::FormatLine("verify", 5, 5, "text read", "12 bytes"),
            "verify         5 ms      +5 ms  text read  (12 bytes)\n");
}

TEST(Trace, OnWritesAppendedLinesOffWritesNothing) {
  test::TempDir dir;
  const std::string path = dir.File("trace.log");
  {
    OperationTrace first(path, "one");
    ASSERT_TRUE(first.on());
    OperationTrace copy = first;  // a viewer's copy writes to the same log
    copy.Mark("viewer filled", "3 bytes");
  }
  OperationTrace(path, "two").Mark("engine done");
  OperationTrace off;
  off.Mark("never written");
  EXPECT_FALSE(off.on());
  EXPECT_FALSE(OperationTrace(dir.File("no/such/folder/t.log"), "x").on());

  std::ifstream in(path, std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::regex expected(
      "one +0 ms +\\+0 ms  command received  \\(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\)\n"
      "one +\\d+ ms +\\+\\d+ ms  viewer filled  \\(3 bytes\\)\n"
      "two +0 ms +\\+0 ms  command received  \\([^)]*\\)\n"
      "two +\\d+ ms +\\+\\d+ ms  engine done\n");
  EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

}  // namespace
}  // namespace qvx

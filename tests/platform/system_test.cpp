// Clock conversions, random bytes, program folder.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/system.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

TEST(CivilTime, KnownFileTimes) {
  struct Case {
    CivilTime civil;
    FileTime filetime;
  } cases[] = {
      {{1601, 1, 1, 0, 0, 0, 0}, 0},
      {{1970, 1, 1, 0, 0, 0, 0}, 116444736000000000ull},
      {{2000, 1, 1, 0, 0, 0, 0}, 125911584000000000ull},
      {{2024, 2, 29, 23, 59, 59, 999}, 133537247999990000ull},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CivilToFileTime(c.civil), c.filetime);
    const CivilTime back = FileTimeToCivil(c.filetime);
    EXPECT_EQ(back.year, c.civil.year);
    EXPECT_EQ(back.month, c.civil.month);
    EXPECT_EQ(back.day, c.civil.day);
    EXPECT_EQ(back.hour, c.civil.hour);
    EXPECT_EQ(back.minute, c.civil.minute);
    EXPECT_EQ(back.second, c.civil.second);
    EXPECT_EQ(back.millisecond, c.civil.millisecond);
  }
}

TEST(CivilTime, RoundTripsRandomInstants) {
  auto rng = test::Rng("civil");
  for (int i = 0; i < 10000; ++i) {
    const FileTime t = (rng() % 0x0300000000000000ull) / 10000 * 10000;  // whole ms
    ASSERT_EQ(CivilToFileTime(FileTimeToCivil(t)), t);
  }
}

TEST(System, NowIsPlausible) {
  const CivilTime now = FileTimeToCivil(LocalFileTimeNow());
  EXPECT_GE(now.year, 2024);
  EXPECT_LE(now.year, 2100);
  const std::uint32_t a = TickCount();
  const std::uint32_t b = TickCount();
  EXPECT_LE(static_cast<std::uint32_t>(b - a), 10000u);
}

TEST(System, RandomBytesDiffer) {
  std::uint8_t a[32] = {}, b[32] = {};
  ASSERT_TRUE(RandomBytes(a, sizeof a));
  ASSERT_TRUE(RandomBytes(b, sizeof b));
  EXPECT_NE(test::ToHex(a, 32), test::ToHex(b, 32));
  EXPECT_NE(test::ToHex(a, 32), std::string(64, '0'));
}

TEST(System, ProgramFolderHoldsTheTestProgram) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(NativeFileSystem().FolderExists(folder));
}

}  // namespace
}  // namespace qvx

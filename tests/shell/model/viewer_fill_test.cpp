// The parts a long text goes into the viewer in.
#include <gtest/gtest.h>

#include <string>

#include "shell/model/viewer_fill.h"

namespace qvx::shell {
namespace {

using Ends = std::vector<std::size_t>;

TEST(ViewerFill, PartsEndAfterLinesAndNeverSplitCrLf) {
  struct Case {
    const char* name;
    std::string text;
    std::size_t first, step;
    Ends ends;
  } cases[] = {
      {"empty", "", 4, 4, {}},
      {"fits the first part", "abc", 4, 4, {3}},
      {"a line end in the second half", "ab\r\ncdefgh", 5, 5, {4, 9, 10}},
      {"no line end: cut at the limit", "abcdefghij", 4, 3, {4, 7, 10}},
      {"line end too early: cut at the limit", "a\nbcdefghij", 8, 8, {8, 11}},
      {"the limit falls between CR and LF", "abc\r\ndef", 4, 8, {3, 8}},
      {"LF only lines", "aa\nbb\ncc\n", 4, 4, {3, 6, 9}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ViewerFillParts(c.text, c.first, c.step), c.ends) << c.name;
  }
}

TEST(ViewerFill, AMegabyteOfLinesGoesInWholeInBoundedParts) {
  std::string text;
  for (int i = 0; text.size() < 1000000; ++i) text += "line " + std::to_string(i) + " of the text\r\n";
  const Ends ends = ViewerFillParts(text, 64 * 1024, 256 * 1024);
  ASSERT_FALSE(ends.empty());
  EXPECT_EQ(ends.back(), text.size());
  std::size_t at = 0;
  for (std::size_t i = 0; i < ends.size(); ++i) {
    EXPECT_LE(ends[i] - at, i == 0 ? 64u * 1024 : 256u * 1024);
    EXPECT_EQ(text[ends[i] - 1], '\n');  // whole lines only
    at = ends[i];
  }
}

}  // namespace
}  // namespace qvx::shell

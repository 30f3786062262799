// Filter patterns and the text order of the list.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "storage/wildcard.h"
#include "tests/support/test_util.h"

namespace qvx::storage {
namespace {

// The rule as a plain recursion, for small inputs only.
bool Reference(const char* t, const char* p) {
  if (*t == 0) return *p == 0;
  if (*t == *p) return Reference(t + 1, p + 1);
  if (*p == '?') return Reference(t + 1, p + 1);
  if (*p == '*') return Reference(t, p + 1) || Reference(t + 1, p) || Reference(t + 1, p + 1);
  return false;
}

TEST(Wildcard, Examples) {
  struct Case {
    const char* text;
    const char* pattern;
    bool match;
  };
  const Case cases[] = {
      {"", "", true},       {"", "*", false},      {"", "?", false},      {"a", "", false},
      {"ab", "ab", true},   {"ab", "ab*", false},  {"abc", "ab*", true},  {"b", "*b", true},
      {"ab", "*b", true},   {"a", "*", true},      {"anything", "*", true}, {"ab", "?b", true},
      {"b", "?b", false},   {"abc", "a?c", true},  {"abc", "a*c", true},  {"ac", "a*c", true},
      {"abc", "*", true},   {"abc", "**", true},   {"abc", "a**", true},  {"ab", "a**", true},
      {"*", "*", true},     {"*x", "*", false},    {"?", "?", true},      {"x*", "x*", true},
      {"Bank", "bank", false}, {"mail", "*ai*", true}, {"mai", "*ai*", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WildcardMatch(c.text, c.pattern), c.match) << '"' << c.text << "\" / \"" << c.pattern << '"';
    EXPECT_EQ(Reference(c.text, c.pattern), c.match) << "reference disagrees";
  }
}

TEST(Wildcard, AgreesWithTheRecursiveRule) {
  auto rng = test::Rng("wildcard");
  const char alphabet[] = "ab*?";
  for (int i = 0; i < 20000; ++i) {
    std::string text, pattern;
    const std::size_t tn = rng() % 7, pn = rng() % 7;
    for (std::size_t k = 0; k < tn; ++k) text += alphabet[rng() % 4];
    for (std::size_t k = 0; k < pn; ++k) pattern += alphabet[rng() % 4];
    ASSERT_EQ(WildcardMatch(text, pattern), Reference(text.c_str(), pattern.c_str()))
        << '"' << text << "\" / \"" << pattern << '"';
  }
}

TEST(Wildcard, ManyStarsStayFast) {
  const std::string text(255, 'a');
  const std::string pattern = std::string(127, '*') + "b" + std::string(127, '*');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WildcardMatch(text, pattern));
  EXPECT_TRUE(WildcardMatch(text + "b" + text, pattern));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(Wildcard, FiltersIgnoreCaseAndCutAt255) {
  EXPECT_TRUE(FilterMatches("Bank Account", "*ACCOUNT"));
  EXPECT_TRUE(FilterMatches("bank", "B?NK"));
  EXPECT_FALSE(FilterMatches("bank", "b?nk?"));
  EXPECT_TRUE(FilterMatches("\xC4rger", "\xC4*"));    // other bytes compare as they are
  EXPECT_FALSE(FilterMatches("\xE4rger", "\xC4*"));
  // Both texts are cut to 255 characters before matching.
  EXPECT_TRUE(FilterMatches(std::string(255, 'a') + "zzz", std::string(255, 'a')));
  EXPECT_TRUE(WildcardMatch(std::string("ab\0cd", 5), "ab"));
}

TEST(Wildcard, TextOrderIgnoresLetterCase) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  for (const Case c : {Case{"abc", "ABC", 0}, Case{"abc", "abd", -1}, Case{"B", "a", 1},
                       Case{"ab", "abc", -1}, Case{"", "", 0}, Case{"", "a", -1},
                       Case{"Z", "\xE4", -1}, Case{"_", "a", -1}}) {
    const int r = CompareTextNoCase(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " / " << c.b;
    const int back = CompareTextNoCase(c.b, c.a);
    EXPECT_EQ((back > 0) - (back < 0), -c.sign);
  }
}

}  // namespace
}  // namespace qvx::storage

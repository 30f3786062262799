// Wildcard matching by dynamic programming over (text position, pattern
// position): the same answers as the plain recursive definition, without its
// exponential time on patterns with many '*'.
#include "storage/wildcard.h"

#include <string>
#include <vector>

namespace qvx::storage {

namespace {

std::string_view UpToZero(std::string_view s) { return s.substr(0, s.find('\0')); }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string FilterCopy(std::string_view s) {
  std::string out(UpToZero(s).substr(0, 255));
  for (char& c : out) c = AsciiLower(c);
  return out;
}

}  // namespace

bool WildcardMatch(std::string_view text, std::string_view pattern) {
  text = UpToZero(text);
  pattern = UpToZero(pattern);
  const std::size_t n = text.size();
  const std::size_t m = pattern.size();
  // next[j]: does text[i+1..] match pattern[j..]; cur[j]: text[i..] against pattern[j..].
  // With the text used up only the empty pattern matches.
  std::vector<char> next(m + 1, 0), cur(m + 1, 0);
  next[m] = 1;
  for (std::size_t i = n; i-- > 0;) {
    cur[m] = 0;  // text left, pattern used up
    for (std::size_t j = m; j-- > 0;) {
      const char p = pattern[j];
      if (text[i] == p || p == '?') {
        cur[j] = next[j + 1];
      } else if (p == '*') {
        cur[j] = static_cast<char>(cur[j + 1] || next[j] || next[j + 1]);
      } else {
        cur[j] = 0;
      }
    }
    cur.swap(next);
  }
  return next[0] != 0;
}

bool FilterMatches(std::string_view text, std::string_view pattern) {
  return WildcardMatch(FilterCopy(text), FilterCopy(pattern));
}

int CompareTextNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(AsciiLower(a[i]));
    const auto y = static_cast<unsigned char>(AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace qvx::storage

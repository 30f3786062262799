// The list filters' wildcard patterns and the case-insensitive text order used
// to sort the password list.
#pragma once

#include <string_view>

namespace qvx::storage {

// '*' matches any run of characters and '?' any one character, with one rule
// that sets these patterns apart: an empty text matches only an empty pattern.
// So "ab*" does not match "ab", "*b" matches "b" and "*" matches every
// non-empty text. A character equal to the pattern's is always taken as a
// literal match, so a '*' in the text matches a '*' in the pattern only
// literally. Both strings end at their first zero byte, if any. Runs in
// O(|text| x |pattern|) time.
bool WildcardMatch(std::string_view text, std::string_view pattern);

// WildcardMatch of copies cut to 255 characters with the letters A to Z
// lower-cased: the filters ignore letter case.
bool FilterMatches(std::string_view text, std::string_view pattern);

// Negative, zero or positive like strcmp, comparing the letters A to Z without
// regard to case and every other byte by its unsigned value.
int CompareTextNoCase(std::string_view a, std::string_view b);

}  // namespace qvx::storage

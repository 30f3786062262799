// The tolerant armour reader: which lines count as marker lines, what a block
// takes from the text around it, which body characters are kept, and that no
// text, however odd, makes it step outside the text.
#include <gtest/gtest.h>

#include <string>

#include "engine/armour.h"
#include "engine/base64.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

constexpr ArmourMarkers kMarkers{"--- Start Of QVX Crypto-Text ---", "--- End Of QVX Crypto-Text ---"};
const std::string kStart(kMarkers.start), kEnd(kMarkers.end);

TEST(Armour, MarkerLinesAreWholeLines) {
  struct Case {
    const char* name;
    std::string text;
    bool found;
    std::string prefix;  // the found line's prefix
  };
  const Case cases[] = {
      {"alone", kStart, true, ""},
      {"CR LF after", kStart + "\r\nx", true, ""},
      {"LF after", kStart + "\nx", true, ""},
      {"CR after", kStart + "\rx", true, ""},
      {"after a line", "text\r\n" + kStart + "\r\n", true, ""},
      {"after a lone CR", "text\r" + kStart, true, ""},
      {"quoted \"> \"", "> " + kStart, true, "> "},
      {"quoted \">\"", ">" + kStart, true, ">"},
      {"quoted twice", "> > " + kStart, true, "> > "},
      {"quoted \">>\"", ">>" + kStart, true, ">>"},
      {"indented", " \t\xA0" + kStart, true, " \t\xA0"},
      {"trailing blanks", "> " + kStart + " \t\xA0\r\n", true, "> "},
      {"text before it on the line", "see " + kStart, false, ""},
      {"a quote mark after text", "x> " + kStart, false, ""},
      {"text after it on the line", kStart + " here", false, ""},
      {"text after trailing blanks", kStart + "  x", false, ""},
      {"one dash more", kStart + "-", false, ""},
      {"other case", "--- start Of QVX Crypto-Text ---", false, ""},
      {"a blank less inside", "--- Start Of QVX Crypto-Text---", false, ""},
      {"a tab for a blank inside", "---\tStart Of QVX Crypto-Text ---", false, ""},
      {"twice on one line", kStart + kStart, false, ""},
      {"mid-line, then a whole line", "x" + kStart + "\r\n> " + kStart, true, "> "},
      {"cut short", kStart.substr(0, kStart.size() - 1), false, ""},
  };
  for (const Case& c : cases) {
    const auto line = FindMarkerLine(c.text, kMarkers.start);
    ASSERT_EQ(line.has_value(), c.found) << c.name;
    if (!c.found) continue;
    EXPECT_EQ(c.text.substr(line->line_begin, line->marker - line->line_begin), c.prefix) << c.name;
    EXPECT_EQ(c.text.substr(line->marker, kStart.size()), kStart) << c.name;
    EXPECT_TRUE(line->content_end == c.text.size() || c.text[line->content_end] == '\r' ||
                c.text[line->content_end] == '\n')
        << c.name;
  }
  // The scan position counts as a line start, and nothing before it is seen.
  const std::string text = "ab" + kStart;
  EXPECT_FALSE(FindMarkerLine(text, kMarkers.start, 1));
  EXPECT_TRUE(FindMarkerLine(text, kMarkers.start, 2));
  EXPECT_FALSE(FindMarkerLine(text, kMarkers.start, 3));
  EXPECT_FALSE(FindMarkerLine(text, kMarkers.start, text.size() + 1));
}

TEST(Armour, WhatABlockTakes) {
  struct Case {
    const char* name;
    std::string text;
    std::size_t from;
    bool found;
    std::string before, after;  // the text left outside the block
  };
  const std::string body = "\r\nQUJD\r\n\r\n";
  const Case cases[] = {
      {"as written", "\r\n" + kStart + "\r\n" + body + kEnd + "\r\n", 0, true, "", ""},
      {"one line break on either side", "x\r\n\r\n" + kStart + "\r\n" + body + kEnd + "\r\n\r\ny", 0, true,
       "x\r\n", "\r\ny"},
      {"LF alone", "x\n" + kStart + "\nQUJD\n" + kEnd + "\ny", 0, true, "x", "y"},
      {"CR alone", "x\r" + kStart + "\rQUJD\r" + kEnd + "\ry", 0, true, "x", "y"},
      {"LF CR before: only the CR", "x\n\r" + kStart + "\nQUJD\n" + kEnd, 0, true, "x\n", ""},
      {"CR CR LF after: only the first CR", "x\n" + kStart + "\nQUJD\n" + kEnd + "\r\r\ny", 0, true, "x",
       "\r\ny"},
      {"end line at the text's end", kStart + "\nQUJD\n" + kEnd, 0, true, "", ""},
      {"quoted, prefixes go with the lines", "> x\r\n> " + kStart + "\r\n> QUJD\r\n> " + kEnd + "  \r\n> y", 0,
       true, "> x", "> y"},
      {"end line right after the start line", "x\r\n" + kStart + "\r\n" + kEnd + "\r\ny", 0, true, "x", "y"},
      {"never before the scan position", "x\r\n" + kStart + "\r\nQUJD\r\n" + kEnd, 3, true, "x\r\n", ""},
      {"never before the scan position (CR)", "x\r\n" + kStart + "\r\nQUJD\r\n" + kEnd, 2, true, "x\r", ""},
      {"no end line", "x\r\n" + kStart + "\r\nQUJD", 0, false, "", ""},
      {"start line ends the text", "x\r\n" + kStart, 0, false, "", ""},
      {"end line only before the start line", kEnd + "\r\n" + kStart + "\r\nQUJD", 0, false, "", ""},
      {"end marker inside a line", kStart + "\r\nQUJD\r\nsee " + kEnd, 0, false, "", ""},
      {"start marker inside a line", "see " + kStart + "\r\nQUJD\r\n" + kEnd, 0, false, "", ""},
  };
  for (const Case& c : cases) {
    const auto span = FindArmour(c.text, kMarkers, c.from);
    ASSERT_EQ(span.has_value(), c.found) << c.name;
    if (!c.found) continue;
    EXPECT_EQ(c.text.substr(0, span->start), c.before) << c.name;
    EXPECT_EQ(c.text.substr(span->end), c.after) << c.name;
    const auto collected = CollectArmourBody(c.text, *span);
    ASSERT_TRUE(collected) << c.name;
    EXPECT_TRUE(*collected == "QUJD" || collected->empty()) << c.name;
  }
}

TEST(Armour, BodyRangeOfAWrittenBlockUnwrapsAsBefore) {
  // For blocks as written the body range keeps its old meaning: removing its
  // CR LF pairs gives the unwrapped body, also when the body fills its last line.
  for (std::size_t size : {4u, 36u, 40u, 80u, 121u}) {
    std::string b64;
    for (std::size_t i = 0; i < size; ++i) b64.push_back("QUJD"[i % 4]);
    const std::string text = "x\r\n" + kStart + "\r\n" + WrapBase64Lines(b64) + "\r\n\r\n" + kEnd + "\r\ny";
    const auto span = FindArmour(text, kMarkers);
    ASSERT_TRUE(span);
    EXPECT_EQ(RemoveLineBreaks(text.substr(span->body_begin, span->body_end - span->body_begin)), b64) << size;
    EXPECT_EQ(CollectArmourBody(text, *span), b64) << size;
  }
}

TEST(Armour, BodyCharacters) {
  struct Case {
    const char* name;
    std::string body;  // between "<start>\r\n" and "\r\n<end>"
    bool ok;
    std::string collected;
  };
  const Case cases[] = {
      {"lines", "QUJD\r\nRUZH\r\nSQ==", true, "QUJDRUZHSQ=="},
      {"empty", "", true, ""},
      {"only empty lines", "\r\n\n\r", true, ""},
      {"quote prefixes", "> QUJD\r\n>RUZH\r\n> > SQ==\r\n>", true, "QUJDRUZHSQ=="},
      {"indentation and blanks inside", "\t QU\xA0JD \t\r\n  RU ZH\xA0", true, "QUJDRUZH"},
      {"every line break", "QU\r\nJD\nRU\rZH\n\rSQ==", true, "QUJDRUZHSQ=="},
      {"all of Base64", "ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\nabcdefghijklmnopqrstuvwxyz\r\n0123456789+/=", true,
       "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="},
      {"a quote mark inside a line", "QU>JD", false, ""},
      {"a quote mark at a line's end", "QUJD>", false, ""},
      {"a dash", "QUJD-", false, ""},
      {"prose", "Hello, world", false, ""},
      {"NUL", std::string("QU\0JD", 5), false, ""},
      {"a byte above 127", "QU\xC2JD", false, ""},
      {"form feed", "QU\fJD", false, ""},
  };
  for (const Case& c : cases) {
    const std::string text = kStart + "\r\n" + c.body + "\r\n" + kEnd;
    const auto span = FindArmour(text, kMarkers);
    ASSERT_TRUE(span) << c.name;
    const auto collected = CollectArmourBody(text, *span);
    ASSERT_EQ(collected.has_value(), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(*collected, c.collected) << c.name;
    }
  }
  // A span that does not fit the text is refused, not read.
  ArmourSpan bad;
  bad.body_begin = 2;
  bad.body_end = 10;
  EXPECT_FALSE(CollectArmourBody("short", bad));
  bad.body_begin = 4;
  bad.body_end = 3;
  EXPECT_FALSE(CollectArmourBody("short", bad));
}

// Texts made of the pieces that matter to the reader, in random order: every
// span found must lie inside the text in the right order, its marker lines
// must be whole lines, and the body must hold only Base64 characters.
TEST(Armour, RandomTextsStayInBounds) {
  auto rng = test::Rng("armour-random");
  const std::string pieces[] = {kStart, kEnd, "\r\n", "\n", "\r", "> ", ">", " ", "\t", "\xA0",
                                "QUJD", "=", "x", "-", std::string(1, '\0'), "\xFF"};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1), count(0, 40);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (std::size_t n = count(rng); n > 0; --n) text += pieces[pick(rng)];
    std::size_t from = 0;
    while (auto span = FindArmour(text, kMarkers, from)) {
      ASSERT_LE(from, span->start);
      ASSERT_LE(span->start, span->start_line.line_begin);
      ASSERT_LE(span->start_line.content_end, span->body_begin);
      ASSERT_LE(span->body_begin, span->body_end);
      ASSERT_LE(span->body_end, span->end_line.line_begin);
      ASSERT_LT(span->end_line.content_end, span->end + 1);
      ASSERT_LE(span->end, text.size());
      ASSERT_GT(span->end, span->start);
      const std::string_view prefix = span->Prefix(text);
      for (char c : prefix) ASSERT_TRUE(IsArmourPrefixChar(c));
      if (auto body = CollectArmourBody(text, *span)) {
        for (char c : *body) ASSERT_NE(std::string_view("QUJD=x").find(c), std::string_view::npos);
      }
      from = span->end;
    }
  }
}

}  // namespace
}  // namespace qvx

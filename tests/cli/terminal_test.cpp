// Text from files on the terminal: what is escaped and what passes unchanged.
#include <gtest/gtest.h>

#include <string>

#include "cli/terminal_support.h"

namespace qvx::cli {
namespace {

TEST(TerminalSafe, EscapesWhatATerminalActsOn) {
  struct Case {
    const char* name;
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain", "Alice <a@b.c> 100%", "Alice <a@b.c> 100%"},
      {"tab, LF and CR LF stay", "a\tb\nc\r\nd", "a\tb\nc\r\nd"},
      {"ESC sequence", "\x1b[2K\x1b[1AKey owner: Mallory", "\\x1b[2K\\x1b[1AKey owner: Mallory"},
      {"lone CR", "Bob\rEve", "Bob\\x0dEve"},
      {"CR at the end", "Bob\r", "Bob\\x0d"},
      {"NUL, BEL, BS, DEL", std::string("a\0b\a\b\x7f", 6), "a\\x00b\\x07\\x08\\x7f"},
      {"UTF-8 letters stay", "J\xc3\xbcrgen \xe2\x82\xac \xf0\x9f\x94\x91", "J\xc3\xbcrgen \xe2\x82\xac \xf0\x9f\x94\x91"},
      {"C1 as UTF-8 (CSI)", "a\xc2\x9b" "2Jb", "a\\xc2\\x9b2Jb"},
      {"U+0080 and U+00A0", "\xc2\x80\xc2\xa0", "\\xc2\\x80\xc2\xa0"},
      {"8-bit CSI alone", "a\x9b" "2J", "a\\x9b2J"},
      {"code page letters stay", "Ren\xe9 \xe4\xf6\xfc", "Ren\xe9 \xe4\xf6\xfc"},
      {"code page quotes (C1 range) escaped", "\x93quoted\x94", "\\x93quoted\\x94"},
      {"overlong CSI", "\xc0\x9b", "\xc0\\x9b"},
      {"truncated sequence at the end", "x\xe2\x82", "x\xe2\\x82"},
      {"surrogate is not UTF-8", "\xed\xa0\x80", "\xed\xa0\\x80"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TerminalSafe(c.in), c.out) << c.name;
  }
}

// Every byte alone and after C2 (the UTF-8 lead of the C1 controls): no
// control byte comes out but tab and LF (no CR LF here), and no byte of the
// C1 range except as a continuation of a letter above U+00BF.
TEST(TerminalSafe, EveryByteAloneAndAfterC2) {
  for (int b = 0; b < 256; ++b) {
    for (const std::string lead : {"", "\xc2"}) {
      const std::string in = lead + std::string(1, static_cast<char>(b));
      const std::string out = TerminalSafe(in);
      for (std::size_t i = 0; i < out.size(); ++i) {
        const auto u = static_cast<unsigned char>(out[i]);
        const bool control = (u < 32 && u != '\t' && u != '\n') || u == 127;
        EXPECT_FALSE(control) << "byte " << b << " lead " << lead.size();
        if (u >= 0x80 && u <= 0x9F) {
          EXPECT_TRUE(i > 0 && static_cast<unsigned char>(out[i - 1]) >= 0xC3) << "byte " << b;
        }
      }
    }
  }
}

}  // namespace
}  // namespace qvx::cli

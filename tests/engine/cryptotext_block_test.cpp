// The crypto-text armour: header fields at their fixed offsets, the line
// layout of a written block, reading bodies, and finding blocks in a text.
#include <gtest/gtest.h>

#include <string>

#include "engine/base64.h"
#include "engine/cryptotext_block.h"
#include "tests/support/armour_damage.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t fill) { return std::vector<std::uint8_t>(n, fill); }

std::string Block(std::string_view body) { return ArmourBody(body); }

TEST(CryptoTextBlock, HeaderFieldsSitAtFixedOffsets) {
  const auto envelope = Bytes(64, 0xAB);
  const std::string pw = FormatBody(0x765B44D8, EnvelopeMode::Password, envelope.data(), envelope.size());
  EXPECT_EQ(pw.substr(0, 12), Base64Encode("765B44D8", 8));
  EXPECT_EQ(pw.substr(12, 8), "MDAwMA==");
  EXPECT_EQ(pw.substr(20, 8), "MDAyMA==");
  EXPECT_EQ(pw.substr(28), Base64Encode(envelope));

  const std::string rsa = FormatBody(0x0000000F, EnvelopeMode::Rsa, envelope.data(), envelope.size());
  EXPECT_EQ(rsa.substr(0, 12), Base64Encode("0000000F", 8));
  EXPECT_EQ(rsa.substr(12, 8), "MDAwMQ==");
  EXPECT_EQ(rsa.substr(20), Base64Encode(envelope));
}

// The lines of a text that ends in CR LF.
std::vector<std::string> Lines(const std::string& text) {
  auto lines = test::SplitCrLf(text);
  EXPECT_EQ(lines.back(), "") << "text does not end in CR LF";
  lines.pop_back();
  return lines;
}

TEST(CryptoTextBlock, LineLayoutOfAWrittenBlock) {
  // Envelope sizes that give bodies of 28 + 4 * ceil(size / 3) characters: one
  // shorter than a line, one ending mid-line and two ending exactly on a line.
  for (std::size_t envelope_size : {3u, 32u, 96u, 128u}) {
    const auto envelope = Bytes(envelope_size, 0x11);
    const std::string body = FormatBody(1, EnvelopeMode::Password, envelope.data(), envelope.size());
    const auto lines = Lines(Block(body));
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "--- Start Of QVX Crypto-Text ---");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[lines.size() - 1], "--- End Of QVX Crypto-Text ---");
    EXPECT_EQ(lines[lines.size() - 2], "");
    const std::size_t full = body.size() / 40, rest = body.size() % 40;
    // Body lines, then an empty line that the body brings itself when its
    // length is a multiple of 40.
    std::string joined;
    std::size_t i = 3;
    for (; i < 3 + full; ++i) {
      EXPECT_EQ(lines[i].size(), 40u) << "envelope " << envelope_size;
      joined += lines[i];
    }
    if (rest != 0) {
      EXPECT_EQ(lines[i].size(), rest);
      joined += lines[i++];
    } else {
      EXPECT_EQ(lines[i++], "") << "envelope " << envelope_size;
    }
    EXPECT_EQ(i, lines.size() - 2);
    EXPECT_EQ(joined, body);
  }
}

TEST(CryptoTextBlock, BodyLengthMultipleOf40CarriesItsOwnLineBreak) {
  const auto envelope200 = Bytes(128, 0);  // 28 + 172 = 200 characters
  const std::string body = FormatBody(7, EnvelopeMode::Password, envelope200.data(), envelope200.size());
  ASSERT_EQ(body.size() % 40, 0u);
  const std::string block = Block(body);
  EXPECT_NE(block.find(body.substr(160) + "\r\n\r\n\r\n--- End Of QVX Crypto-Text ---\r\n"), std::string::npos);
  auto span = FindNextBlock(block, 0);
  ASSERT_TRUE(span);
  EXPECT_EQ(RemoveLineBreaks(std::string_view(block).substr(span->body_begin, span->body_end - span->body_begin)),
            body);
  EXPECT_EQ(ReadBlockBody(block, *span), body);
}

TEST(CryptoTextBlock, ParseBody) {
  const auto envelope = Bytes(64, 0x5C);
  const std::string env64 = Base64Encode(envelope);
  const std::string sum = Base64Encode("0BADF00D", 8);
  struct Case {
    const char* name;
    std::string body;
    bool ok;
    EnvelopeMode mode;
    bool checksum_readable;
  };
  const Case cases[] = {
      {"password", sum + "MDAwMA==" + "MDAyMA==" + env64, true, EnvelopeMode::Password, true},
      {"rsa", sum + "MDAwMQ==" + env64, true, EnvelopeMode::Rsa, true},
      {"mode bit 0 decides (0003)", sum + Base64Encode("0003", 4) + env64, true, EnvelopeMode::Rsa, true},
      {"mode bit 0 decides (0002)", sum + Base64Encode("0002", 4) + "MDAyMA==" + env64, true,
       EnvelopeMode::Password, true},
      {"lower-case hex", Base64Encode("0badf00d", 8) + "MDAwMA==" + "MDAyMA==" + env64, true,
       EnvelopeMode::Password, true},
      {"key length skipped", sum + "MDAwMA==" + "QUJDRA==" + env64, true, EnvelopeMode::Password, true},
      {"checksum not hex", Base64Encode("0BADF00G", 8) + "MDAwMA==" + "MDAyMA==" + env64, true,
       EnvelopeMode::Password, false},
      {"checksum not Base64", std::string("*BADF00D0000") + "MDAwMA==" + "MDAyMA==" + env64, true,
       EnvelopeMode::Password, false},
      {"envelope stops at its padding", sum + "MDAwMA==" + "MDAyMA==" + "QQ==trailing", true,
       EnvelopeMode::Password, true},
      {"mode not hex", sum + Base64Encode("00G0", 4) + "MDAyMA==" + env64, false, {}, false},
      {"mode too short", sum + Base64Encode("000", 3) + "=" + "MDAyMA==" + env64, false, {}, false},
      {"mode not Base64", sum + "MD*wMA==" + "MDAyMA==" + env64, false, {}, false},
      {"envelope not Base64", sum + "MDAwMA==" + "MDAyMA==" + env64.substr(0, 20) + "\n" + env64.substr(20),
       false, {}, false},
      {"envelope cut in a group", sum + "MDAwMA==" + "MDAyMA==" + env64.substr(0, env64.size() - 1), false, {},
       false},
      {"too short for the header", sum + "MDAwMA=", false, {}, false},
      {"password header cut", sum + "MDAwMA==" + "MDAy", false, {}, false},
      {"empty", "", false, {}, false},
  };
  for (const Case& c : cases) {
    auto parsed = ParseBody(c.body);
    ASSERT_EQ(parsed.ok(), c.ok) << c.name;
    if (!c.ok) {
      EXPECT_EQ(parsed.code(), Errc::Corrupted) << c.name;
      continue;
    }
    EXPECT_EQ(parsed->mode, c.mode) << c.name;
    EXPECT_EQ(parsed->payload_checksum.has_value(), c.checksum_readable) << c.name;
    if (c.checksum_readable) {
      EXPECT_EQ(*parsed->payload_checksum, 0x0BADF00Du) << c.name;
    }
  }
  EXPECT_EQ(ParseBody(sum + "MDAwMA==" + "MDAyMA==" + env64)->envelope, envelope);
  EXPECT_EQ(ParseBody(sum + "MDAwMA==" + "MDAyMA==")->envelope.size(), 0u);
}

TEST(CryptoTextBlock, FindNextBlockTakesOneLineBreakOnEitherSide) {
  const std::string start(kCryptoStartSearched), end(kCryptoEndSearched);
  struct Case {
    const char* name;
    std::string text;
    std::size_t from;
    bool found;
    std::string before, after;  // text left outside the block
  };
  const Case cases[] = {
      {"written block alone", Block("QUJD"), 0, true, "", ""},
      {"CR LF around", "x\r\n" + start + "QUJD" + end + "\r\ny", 0, true, "x", "y"},
      {"only one line break each side is taken", "x\r\n\r\n" + start + "QUJD" + end + "\r\n\r\ny", 0, true,
       "x\r\n", "\r\ny"},
      {"LF alone before", "x\n" + start + "QUJD" + end + "\r\ny", 0, true, "x", "y"},
      {"CR alone before", "x\r" + start + "QUJD" + end + "\r\ny", 0, true, "x", "y"},
      {"LF alone after", "x\r\n" + start + "QUJD" + end + "\ny", 0, true, "x", "y"},
      {"LF CR before: only the CR", "x\n\r" + start + "QUJD" + end, 0, true, "x\n", ""},
      {"never before the scan position", "x\r\n" + start + "QUJD" + end, 3, true, "x\r\n", ""},
      {"never before the scan position (CR)", "x\r\n" + start + "QUJD" + end, 2, true, "x\r", ""},
      {"no end line", "x\r\n" + start + "QUJD", 0, false, "", ""},
      {"end line before the start line", end + "\r\n" + start + "QUJD", 0, false, "", ""},
      {"LF-only lines", "x\n--- Start Of QVX Crypto-Text ---\nQUJD\n\n--- End Of QVX Crypto-Text ---\ny", 0,
       true, "x", "y"},
      {"quoted lines",
       "> x\r\n> --- Start Of QVX Crypto-Text ---\r\n> QUJD\r\n> \r\n> --- End Of QVX Crypto-Text ---\r\n> y", 0,
       true, "> x", "> y"},
      {"start marker inside a line", "x" + start + "QUJD" + end + "\r\ny", 0, false, "", ""},
      {"end marker followed by text", "x\r\n" + start + "QUJD" + end + "y", 0, false, "", ""},
  };
  for (const Case& c : cases) {
    auto span = FindNextBlock(c.text, c.from);
    ASSERT_EQ(span.has_value(), c.found) << c.name;
    if (!c.found) continue;
    EXPECT_EQ(c.text.substr(0, span->start), c.before) << c.name;
    EXPECT_EQ(c.text.substr(span->end), c.after) << c.name;
    EXPECT_EQ(ReadBlockBody(c.text, *span), "QUJD") << c.name;
  }
}

TEST(CryptoTextBlock, DirectionOfATextAndTheFirstEndLine) {
  const std::string start(kCryptoStartSearched), end(kCryptoEndSearched);
  EXPECT_FALSE(ContainsCryptoText("plain text"));
  EXPECT_FALSE(ContainsCryptoText("only an end line" + end));
  EXPECT_TRUE(ContainsCryptoText("--- Start Of QVX Crypto-Text ---\n"));  // LF alone
  EXPECT_TRUE(ContainsCryptoText("> > --- Start Of QVX Crypto-Text --- "));
  EXPECT_TRUE(ContainsCryptoText("a\r\n" + start + "b"));
  // Only a whole line is a start line: a text that mentions the marker is
  // still a text to encrypt.
  EXPECT_FALSE(ContainsCryptoText("a" + start + "b"));
  EXPECT_FALSE(ContainsCryptoText("The line \"--- Start Of QVX Crypto-Text ---\" opens a block."));
  EXPECT_FALSE(FirstBlockHasEnd("a\r\n" + start + "b"));
  EXPECT_TRUE(FirstBlockHasEnd("a\r\n" + start + "b" + end));
  // An end line only before the first start line does not count.
  EXPECT_FALSE(FirstBlockHasEnd(end + "\r\na\r\n" + start + "b"));
  EXPECT_FALSE(FirstBlockHasEnd(""));
}

}  // namespace
}  // namespace qvx

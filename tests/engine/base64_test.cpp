// Base64 and the armour line helpers.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/base64.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

std::string AsText(const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.end()); }

TEST(Base64, Rfc4648Vectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(Base64Encode(plain, std::strlen(plain)), encoded);
    auto decoded = Base64Decode(encoded);
    ASSERT_TRUE(decoded) << encoded;
    EXPECT_EQ(AsText(*decoded), plain);
  }
}

TEST(Base64, RejectsMalformedInput) {
  const char* bad[] = {
      "QUJ",        // truncated group
      "QU JD",      // blank inside
      "QUJD\r\n",   // line break
      "QU\nJD",     // line break inside a group
      "Q===",       // too much padding
      "=QUJ",       // padding first
      "QU=D",       // padding not at the end of the group
      "QUJD=",      // stray padding after a full group
      "QUJ\x80",    // byte above 127
      "QUJD*AAA",   // character outside the alphabet
  };
  for (const char* text : bad) EXPECT_FALSE(Base64Decode(text)) << text;
}

TEST(Base64, PrefixDecodeStopsAtPadding) {
  // Header fields are encoded one by one and simply concatenated.
  auto field = Base64DecodePrefix("MDAwMA==MDAyMA==Zm9v");
  ASSERT_TRUE(field);
  EXPECT_EQ(AsText(field->bytes), "0000");
  EXPECT_EQ(field->consumed, 8u);
  EXPECT_EQ(AsText(Base64DecodePrefix("QUJD")->bytes), "ABC");
  EXPECT_EQ(Base64DecodePrefix("QUI=")->bytes.size(), 2u);
  EXPECT_EQ(Base64DecodePrefix("QQ==")->bytes.size(), 1u);
  // Without padding the decode runs to the end of the text.
  auto body = Base64DecodePrefix("Zm9vYmFy");
  EXPECT_EQ(body->consumed, 8u);
}

TEST(Base64, RoundTripEveryLength) {
  auto rng = test::Rng("base64");
  for (std::size_t n = 0; n < 300; ++n) {
    const auto data = test::RandomBytes(rng, n);
    const std::string text = Base64Encode(data);
    ASSERT_EQ(text.size(), (n + 2) / 3 * 4);
    auto back = Base64Decode(text);
    ASSERT_TRUE(back);
    ASSERT_EQ(*back, data);
  }
}

TEST(ArmourLines, WrapLayout) {
  EXPECT_EQ(WrapBase64Lines(""), "\r\n");
  EXPECT_EQ(WrapBase64Lines("abc"), "\r\nabc");
  const std::string forty(40, 'x');
  EXPECT_EQ(WrapBase64Lines(forty), "\r\n" + forty + "\r\n");
  EXPECT_EQ(WrapBase64Lines(forty + "y"), "\r\n" + forty + "\r\ny");
  EXPECT_EQ(WrapBase64Lines(forty + forty + "z"), "\r\n" + forty + "\r\n" + forty + "\r\nz");
  // CR LF in the text is doubled and does not count towards the 40.
  EXPECT_EQ(WrapBase64Lines("a\r\nb"), "\r\na\r\n\r\nb");
}

TEST(ArmourLines, UnwrapRestoresAnyText) {
  auto rng = test::Rng("wrap");
  const char alphabet[] = {'a', 'b', '\r', '\n'};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const std::size_t n = rng() % 130;
    for (std::size_t i = 0; i < n; ++i) text.push_back(alphabet[rng() % 4]);
    ASSERT_EQ(RemoveLineBreaks(WrapBase64Lines(text)), text) << test::ToHex(text);
  }
  EXPECT_EQ(RemoveLineBreaks("ab\r\n\r\ncd"), "ab\r\ncd");
  EXPECT_EQ(RemoveLineBreaks("\r\nQUJD\r\nRUZH\r\n"), "QUJDRUZH");
}

TEST(ArmourLines, FindAfter) {
  const std::string text = "xx--- Start ---\r\nbody";
  EXPECT_EQ(FindAfter(text, "--- Start ---\r\n"), 17u);
  EXPECT_EQ(FindAfter(text, "--- End ---"), std::string::npos);
  EXPECT_EQ(FindAfter(text, "x", 1), 2u);
  EXPECT_EQ(FindAfter(text, "x", 99), std::string::npos);
}

}  // namespace
}  // namespace qvx

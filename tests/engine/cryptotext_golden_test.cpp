// Known answer for the crypto-text format: a block committed in tests/data,
// decrypted and made again byte for byte, and its layout spelled out, so the
// format cannot drift.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "engine/base64.h"
#include "engine/cryptotext.h"
#include "tests/support/scripted_passwords.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

std::string ReadData(const char* name) {
  std::ifstream in(test::DataPath(name), std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

constexpr const char* kPassword = "Quorvix golden";

TEST(CryptoTextGolden, DecryptsToTheCommittedText) {
  auto prompt = test::ScriptedPasswords::Always(kPassword);
  CryptoTextOperation op(prompt);
  auto plain = op.DecryptAllBlocks(ReadData("cryptotext/golden.txt"));
  ASSERT_TRUE(plain) << plain.error().detail;
  EXPECT_EQ(plain->text.view(), ReadData("cryptotext/golden.plain"));
  EXPECT_TRUE(plain->notices.empty());
}

TEST(CryptoTextGolden, EncryptingTheTextGivesTheSameBytes) {
  auto prompt = test::ScriptedPasswords::Always(kPassword);
  CryptoTextOperation op(prompt);
  auto block = op.EncryptText(ReadData("cryptotext/golden.plain"));
  ASSERT_TRUE(block);
  EXPECT_EQ(*block, ReadData("cryptotext/golden.txt"));
}

TEST(CryptoTextGolden, Layout) {
  const std::string block = ReadData("cryptotext/golden.txt");
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < block.size();) {
    const std::size_t next = block.find("\r\n", at);
    ASSERT_NE(next, std::string::npos) << "every line ends in CR LF";
    lines.push_back(block.substr(at, next - at));
    at = next + 2;
  }
  const std::vector<std::string> frame_expected = {"", "--- Start Of QVX Crypto-Text ---", ""};
  ASSERT_EQ(lines.size(), 3u + 5u + 3u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3), frame_expected);
  std::string body;
  for (int i = 3; i < 8; ++i) {
    EXPECT_EQ(lines[i].size(), 40u);
    body += lines[i];
  }
  // A body of exactly 200 characters brings its own empty line.
  EXPECT_EQ(lines[8], "");
  EXPECT_EQ(lines[9], "");
  EXPECT_EQ(lines[10], "--- End Of QVX Crypto-Text ---");
  EXPECT_EQ(body.substr(0, 12), "MkE5QTgwRjI=");  // "2A9A80F2", checksum of the payload
  EXPECT_EQ(body.substr(12, 8), "MDAwMA==");      // "0000", password envelope
  EXPECT_EQ(body.substr(20, 8), "MDAyMA==");      // "0020", key length
  auto envelope = Base64Decode(body.substr(28));
  ASSERT_TRUE(envelope);
  EXPECT_EQ(envelope->size(), 4u * 32u);  // a 120-byte payload: floor(152 / 32) blocks
}

}  // namespace
}  // namespace qvx

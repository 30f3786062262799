// A 100 MB text through qvx encrypt and qvx decrypt.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/qvx_runner.h"
#include "tests/support/test_util.h"

namespace qvx::test {
namespace {

// Varied text: words drawn from a small vocabulary with numbers and line
// breaks, so that it compresses like real text rather than noise.
std::string VariedText(std::size_t size) {
  static const char* const kWords[] = {"crypto", "text", "block", "the", "of", "password", "window", "and",
                                       "quorvix", "mail", "a", "message", "key", "to", "from", "line"};
  auto rng = Rng("cli-large");
  std::string text;
  text.reserve(size + 32);
  while (text.size() < size) {
    const auto r = rng();
    text += kWords[r & 15];
    if ((r >> 4 & 7) == 0) text += std::to_string(r >> 8 & 0xFFFF);
    text += (r >> 24 & 15) == 0 ? "\r\n" : " ";
  }
  text.resize(size);
  return text;
}

TEST(QvxCryptLarge, HundredMegabytesRoundTrip) {
  TempDir dir;
  const std::string text = VariedText(100u << 20);
  WriteText(dir.File("in"), text);
  WriteText(dir.File("pw"), "large");
  const std::string pw = " --password-file '" + dir.File("pw") + "' ";
  auto r = Qvx("encrypt" + pw + "'" + dir.File("in") + "' -o '" + dir.File("enc") + "'", dir.File("err"));
  ASSERT_EQ(r.code, 0) << r.err;
  r = Qvx("decrypt" + pw + "'" + dir.File("enc") + "' -o '" + dir.File("out") + "'", dir.File("err"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(ReadText(dir.File("out")) == text);
}

}  // namespace
}  // namespace qvx::test

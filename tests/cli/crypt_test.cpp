// qvx encrypt and qvx decrypt on real files: round trips, text around blocks,
// exit codes and error lines, and that a failure never touches the input.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/qvx_runner.h"
#include "tests/support/armour_damage.h"
#include "tests/support/test_util.h"

namespace qvx::test {
namespace {

class QvxCrypt : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteText(dir.File("pw"), "correct horse\n");
    WriteText(dir.File("wrong"), "wrong horse\r\n");
  }
  std::string F(const char* name) const { return "'" + dir.File(name) + "'"; }
  QvxRun Q(const std::string& args) { return Qvx(args, dir.File("stderr")); }

  TempDir dir;
};

TEST_F(QvxCrypt, RoundTripsOfFiles) {
  auto rng = Rng("cli-roundtrip");
  const auto random = RandomBytes(rng, 1u << 20);
  const std::string texts[] = {"", "x", "abc", "two\r\nlines\r\n", std::string(random.begin(), random.end())};
  for (const std::string& text : texts) {
    WriteText(dir.File("in"), text);
    ASSERT_EQ(Q("encrypt --password-file " + F("pw") + " " + F("in") + " -o " + F("enc")).code, 0);
    const std::string block = ReadText(dir.File("enc"));
    EXPECT_EQ(block.rfind("\r\n--- Start Of QVX Crypto-Text ---\r\n", 0), 0u);
    auto r = Q("decrypt --password-file " + F("pw") + " " + F("enc") + " -o " + F("out"));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadText(dir.File("out")), text) << "size " << text.size();
  }
}

TEST_F(QvxCrypt, StandardStreamsAndPasswordFromEnvironment) {
  WriteText(dir.File("in"), "through pipes");
  ASSERT_EQ(Q("encrypt --password-env QVX_TEST_PW < " + F("in") + " > " + F("enc")).code, 2)
      << "an unset variable must be refused";
  ASSERT_EQ(Q("encrypt --password-env HOME < " + F("in") + " > " + F("enc")).code, 0);
  auto r = Q("decrypt --password-env HOME - < " + F("enc") + " > " + F("out"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadText(dir.File("out")), "through pipes");
}

TEST_F(QvxCrypt, EveryBlockOfATextIsDecrypted) {
  WriteText(dir.File("p1"), "first");
  WriteText(dir.File("p2"), "second");
  ASSERT_EQ(Q("encrypt --password-file " + F("pw") + " " + F("p1") + " -o " + F("b1")).code, 0);
  ASSERT_EQ(Q("encrypt --password-file " + F("pw") + " " + F("p2") + " -o " + F("b2")).code, 0);
  WriteText(dir.File("mix"), "A" + ReadText(dir.File("b1")) + "B" + ReadText(dir.File("b2")) + "C");
  ASSERT_EQ(Q("decrypt --password-file " + F("pw") + " " + F("mix") + " -o " + F("out")).code, 0);
  EXPECT_EQ(ReadText(dir.File("out")), "AfirstBsecondC");
  // --ask-each asks again for the second block (here from the same file).
  ASSERT_EQ(Q("decrypt --ask-each --password-file " + F("pw") + " " + F("mix") + " -o " + F("out")).code, 0);
  EXPECT_EQ(ReadText(dir.File("out")), "AfirstBsecondC");
}

TEST_F(QvxCrypt, FailuresLeaveTheInputAlone) {
  auto rng = Rng("cli-failures");
  const auto noise = RandomBytes(rng, 5000);  // about 160 cipher blocks
  WriteText(dir.File("plain"), std::string(noise.begin(), noise.end()));
  ASSERT_EQ(Q("encrypt --password-file " + F("pw") + " " + F("plain") + " -o " + F("enc")).code, 0);
  const std::string block = ReadText(dir.File("enc"));
  // A character in the middle of a body line, far from the first and last
  // cipher blocks.
  const std::size_t mid = block.find("\r\n", block.size() / 2) - 20;
  std::string flipped = block;
  flipped[mid] = flipped[mid] == 'A' ? 'B' : 'A';
  std::string cut = block.substr(0, block.size() - 40);

  struct Case {
    const char* name;
    std::string input;
    const char* password;
    int code;
    const char* says;
  };
  const Case cases[] = {
      {"wrong password", block, "wrong", 3, "wrong password"},
      {"one character changed", flipped, "pw", 4, "damaged"},
      {"end line missing", cut, "pw", 4, "end line"},
      {"no block", "just text", "pw", 6, "no crypto-text block"},
      {"not Base64", block.substr(0, mid) + "#" + block.substr(mid + 1), "pw", 4, "Base64"},
  };
  for (const Case& c : cases) {
    WriteText(dir.File("victim"), c.input);
    auto r = Q(std::string("decrypt --password-file ") + F(c.password) + " " + F("victim") + " -o " + F("victim"));
    EXPECT_EQ(r.code, c.code) << c.name << ": " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.name << ": " << r.err;
    EXPECT_EQ(ReadText(dir.File("victim")), c.input) << c.name;
  }
  auto r = Q("decrypt --password-file " + F("pw") + " " + F("missing-file"));
  EXPECT_EQ(r.code, 5);
  EXPECT_NE(r.err.find("missing-file"), std::string::npos) << r.err;
  r = Q("decrypt --password-file " + F("missing-pw") + " " + F("enc"));
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("missing-pw"), std::string::npos) << r.err;
}

TEST_F(QvxCrypt, QuotedReplyDecrypts) {
  WriteText(dir.File("in"), "secret words\r\nsecond line");
  ASSERT_EQ(Q("encrypt --password-file " + F("pw") + " " + F("in") + " -o " + F("enc")).code, 0);
  // A mail reply quoting the message, saved with LF line breaks.
  const std::string quoted = Chain({Quote("> "), LineEnds("\n")})("Ann wrote:" + ReadText(dir.File("enc")) + "Bye");
  WriteText(dir.File("reply"), "Thanks!\n\n" + quoted + "\n");
  auto r = Q("decrypt --password-file " + F("pw") + " " + F("reply") + " -o " + F("out"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadText(dir.File("out")), "Thanks!\n\n> Ann wrote:secret words\r\nsecond line> Bye\n");
}

TEST_F(QvxCrypt, CommandLineProblems) {
  WriteText(dir.File("empty-pw"), "\n");
  WriteText(dir.File("in"), "x");
  EXPECT_EQ(Q("encrypt --password-file " + F("empty-pw") + " " + F("in")).code, 2);
  EXPECT_EQ(Q("encrypt --frobnicate").code, 2);
  EXPECT_EQ(Q("encrypt " + F("in") + " " + F("in")).code, 2);
  EXPECT_EQ(Q("decrypt --password-file a --password-env B " + F("in")).code, 2);
  EXPECT_EQ(Q("encrypt --help > /dev/null").code, 0);
  EXPECT_EQ(Q("decrypt -h > /dev/null").code, 0);
  // No terminal and no password option: a clear refusal, nothing written.
  auto r = Q("encrypt " + F("in") + " -o " + F("out") + " < /dev/null");
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("password"), std::string::npos);
  EXPECT_FALSE(std::ifstream(dir.File("out")).good());
}

}  // namespace
}  // namespace qvx::test

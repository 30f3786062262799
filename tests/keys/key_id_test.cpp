// Key identity: the text form's word order, parsing, owner matching and the
// owner names that may become file names.
#include <gtest/gtest.h>

#include "engine/sha256.h"
#include "keys/key_id.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

KeyId::IdBytes Counting() {
  KeyId::IdBytes id;
  for (int i = 0; i < 16; ++i) id[i] = static_cast<std::uint8_t>(i + 1);
  return id;
}

TEST(KeyIdText, KnownAnswerPutsLowHalfWordFirst) {
  EXPECT_EQ(FormatKeyIdText(Counting()), "{02010403-0605-0807-0A09-0C0B0E0D100F}");
  KeyId::IdBytes zero{};
  EXPECT_EQ(FormatKeyIdText(zero), "{00000000-0000-0000-0000-000000000000}");
  KeyId::IdBytes ff;
  ff.fill(0xFF);
  EXPECT_EQ(FormatKeyIdText(ff), "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}");
}

TEST(KeyIdText, ParsesBackInEitherCase) {
  auto rng = test::Rng("keyidtext");
  for (int i = 0; i < 200; ++i) {
    KeyId::IdBytes id;
    for (auto& b : id) b = static_cast<std::uint8_t>(rng());
    std::string text = FormatKeyIdText(id);
    ASSERT_EQ(ParseKeyIdText(text), id);
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ASSERT_EQ(ParseKeyIdText(text), id);
  }
}

TEST(KeyIdText, RejectsOtherForms) {
  for (const char* bad : {"", "{02010403-0605-0807-0A09-0C0B0E0D100F", "02010403-0605-0807-0A09-0C0B0E0D100F}",
                          "{02010403-0605-0807-0A09-0C0B0E0D100G}", "{020104030-605-0807-0A09-0C0B0E0D100F}",
                          "{02010403-0605-0807-0A09-0C0B0E0D100F}x", "(02010403-0605-0807-0A09-0C0B0E0D100F)"}) {
    EXPECT_FALSE(ParseKeyIdText(bad)) << bad;
  }
}

TEST(KeyId, LayoutAndOwnerMatch) {
  const KeyId id = KeyId::Make(Counting(), "Alice");
  EXPECT_EQ(id.bytes[0], 1);
  EXPECT_EQ(id.bytes[15], 16);
  EXPECT_EQ(id.OwnerLength(), 5u);
  EXPECT_EQ(id.bytes[16], 5);
  EXPECT_EQ(id.bytes[17] | id.bytes[18] | id.bytes[19], 0);
  const auto digest = Sha256Of("Alice");
  EXPECT_TRUE(std::equal(digest.begin(), digest.end(), id.bytes.begin() + 20));
  EXPECT_TRUE(id.MatchesOwner("Alice"));
  EXPECT_FALSE(id.MatchesOwner("alice"));
  EXPECT_FALSE(id.MatchesOwner("Alice "));
  EXPECT_EQ(id.Text(), "{02010403-0605-0807-0A09-0C0B0E0D100F}");
  EXPECT_EQ(KeyId::FromBytes(id.bytes.data()), id);
  EXPECT_NE(KeyId::Make(Counting(), "Bob"), id);
}

TEST(OwnerName, FileNameRules) {
  struct Case {
    std::string owner;
    bool valid;
  };
  const Case cases[] = {
      {"Alice", true},          {"John Smith (work)", true}, {std::string(79, 'x'), true},
      {"Ren\xE9", true},        {"Mr. X.", true},            {"trailing ", true},
      {"", false},              {std::string(80, 'x'), false}, {"a/b", false},
      {"a\\b", false},          {"..", false},               {"x..y", false},
      {"../evil", false},       {"c:x", false},              {"a*", false},
      {"a?", false},            {"a|b", false},              {"<a>", false},
      {"q\"", false},           {"tab\there", false},        {std::string("nul\0x", 5), false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidOwnerName(c.owner), c.valid) << c.owner;
}

}  // namespace
}  // namespace qvx

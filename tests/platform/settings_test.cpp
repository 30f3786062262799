// One test body for every settings store: the file store everywhere, the
// registry store on Windows.
#include <gtest/gtest.h>

#include <functional>

#include "platform/settings.h"
#include "platform/system.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

struct StoreFactory {
  const char* name;
  std::function<std::unique_ptr<SettingsStore>(const test::TempDir&)> make;
};

class SettingsStoreTest : public testing::TestWithParam<StoreFactory> {
 protected:
  test::TempDir dir_;
  std::unique_ptr<SettingsStore> store_ = GetParam().make(dir_);
  // Unique value names, so runs in one registry never see each other's values.
  std::string Name(const char* stem) {
    static const std::string tag = std::to_string(test::Seed()) + "_" + std::to_string(TickCount());
    return std::string("test_") + stem + "_" + tag;
  }
};

TEST_P(SettingsStoreTest, MissingValuesKeepDefaults) {
  EXPECT_FALSE(store_->ReadDword(Name("absent")));
  EXPECT_FALSE(store_->ReadString(Name("absent_text")));
}

TEST_P(SettingsStoreTest, DwordsRoundTrip) {
  for (std::uint32_t v : {0u, 1u, 5u, 0xFFFFFFFFu, 0x80000041u}) {
    ASSERT_TRUE(store_->WriteDword(Name("number"), v));
    EXPECT_EQ(store_->ReadDword(Name("number")), v);
  }
  // A dword is not readable as text and the other way round.
  EXPECT_FALSE(store_->ReadString(Name("number")));
}

TEST_P(SettingsStoreTest, StringsRoundTrip) {
  for (const char* v : {"alice", "", "name with blanks", "x=y"}) {
    ASSERT_TRUE(store_->WriteString(Name("text"), v));
    EXPECT_EQ(store_->ReadString(Name("text")), std::string(v));
  }
}

TEST_P(SettingsStoreTest, ValuesAreIndependent) {
  ASSERT_TRUE(store_->WriteDword(Name("a"), 1));
  ASSERT_TRUE(store_->WriteDword(Name("b"), 2));
  EXPECT_EQ(store_->ReadDword(Name("a")), 1u);
  EXPECT_EQ(store_->ReadDword(Name("b")), 2u);
}

std::vector<StoreFactory> Stores() {
  std::vector<StoreFactory> stores = {
      {"file", [](const test::TempDir& d) { return OpenFileSettings(d.File("settings")); }},
  };
#ifdef _WIN32
  stores.push_back({"registry", [](const test::TempDir&) { return OpenUserSettings(); }});
#endif
  return stores;
}

INSTANTIATE_TEST_SUITE_P(AllStores, SettingsStoreTest, testing::ValuesIn(Stores()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qvx

// The checks made before keys are played into another window.
#include <gtest/gtest.h>

#include "shell/model/target_checks.h"

namespace qvx::shell {
namespace {

TEST(TargetChecks, KeysReachOnlyTargetsAtOrBelowOurLevel) {
  using namespace integrity;
  const struct {
    const char* name;
    TargetIntegrity target;
    std::optional<std::uint32_t> own;
    KeyAccess expected;
  } cases[] = {
      {"same level", {kMedium, false}, kMedium, KeyAccess::Allowed},
      {"lower target", {kLow, false}, kMedium, KeyAccess::Allowed},
      {"elevated target", {kHigh, false}, kMedium, KeyAccess::Elevated},
      {"system target", {kSystem, false}, kMedium, KeyAccess::Elevated},
      {"medium-plus target", {kMedium + 0x100, false}, kMedium, KeyAccess::Elevated},
      {"both elevated", {kHigh, false}, kHigh, KeyAccess::Allowed},
      {"we are elevated", {kMedium, false}, kHigh, KeyAccess::Allowed},
      {"query refused", {std::nullopt, true}, kMedium, KeyAccess::Elevated},
      {"level unreadable", {std::nullopt, false}, kMedium, KeyAccess::Allowed},
      {"our level unknown", {kHigh, false}, std::nullopt, KeyAccess::Allowed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(KeysReachTarget(c.target, c.own), c.expected);
  }
}

TEST(TargetChecks, PasteOnlyIntoTheSameWindowOfTheSameProcess) {
  const WindowIdentity target{0x1234, 77};
  EXPECT_TRUE(MayPasteInto(target, {0x1234, 77}));
  EXPECT_FALSE(MayPasteInto(target, {0x5678, 77}));  // another window of the program
  EXPECT_FALSE(MayPasteInto(target, {0x1234, 78}));  // the handle now belongs to another
  EXPECT_FALSE(MayPasteInto(target, {0, 0}));        // nothing in front
  EXPECT_FALSE(MayPasteInto({0, 0}, {0, 0}));        // no target at all
}

TEST(TargetChecks, Waits) {
  EXPECT_EQ(PauseBeforeKeysMs(0), 200u);
  EXPECT_EQ(PauseBeforeKeysMs(1500), 1700u);
}

}  // namespace
}  // namespace qvx::shell

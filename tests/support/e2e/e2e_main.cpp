// Entry point of the end-to-end test programs. They change the registry and the
// desktop of the Wine prefix they run in, so they run only inside
// scripts/with-wine.sh (which sets QVX_WINE_SANDBOX) and otherwise report
// themselves skipped (exit code 77).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/e2e/screenshot.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (std::getenv("QVX_WINE_SANDBOX") == nullptr) {
    std::printf("skipped: end-to-end tests run only inside scripts/with-wine.sh\n");
    return 77;
  }
  // Screenshots are named after the tests: those of this program's earlier
  // runs go, so that the folder shows what the last run saw.
  const auto* tests = testing::UnitTest::GetInstance();
  for (int i = 0; i < tests->total_test_suite_count(); ++i) {
    qvx::e2e::RemoveScreenshots(std::string(tests->GetTestSuite(i)->name()) + "-");
  }
  return RUN_ALL_TESTS();
}

// Test entry point: prints the random seed so that a failing randomized case
// can be rerun with QVX_TEST_SEED=<seed>.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/test_util.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::printf("random seed: %llu (set QVX_TEST_SEED to repeat)\n",
              static_cast<unsigned long long>(qvx::test::Seed()));
  return RUN_ALL_TESTS();
}

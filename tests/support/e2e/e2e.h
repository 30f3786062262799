// End-to-end test support: everything a test of the real Quorvix.exe under
// Wine needs. Each test program links qvx_e2e (see tests/CMakeLists.txt,
// qvx_add_e2e_test) and derives its fixtures from QuorvixTest.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/e2e/input.h"
#include "tests/support/e2e/menu.h"
#include "tests/support/e2e/message_box.h"
#include "tests/support/e2e/notepad.h"
#include "tests/support/e2e/process.h"
#include "tests/support/e2e/quorvix.h"
#include "tests/support/e2e/screenshot.h"
#include "tests/support/e2e/system_state.h"
#include "tests/support/e2e/window_query.h"

namespace qvx::e2e {

// Every test starts and ends with no Quorvix running and no settings key.
class QuorvixTest : public testing::Test {
 protected:
  void SetUp() override { ResetQuorvixState(); }
  void TearDown() override { ResetQuorvixState(); }
};

}  // namespace qvx::e2e

#pragma once

#include <gtest/gtest.h>

#include "debugger/debugger_state.h"
#include "tests/support/recording_host.h"

// Puts every piece of process-wide state back to its start-up value and records what the core asks
// of its host.
class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  RecordingHost recorder;
};

#pragma once

#include <gtest/gtest.h>

#include "platform/recording_host.h"

// Puts every piece of process-wide state back to its start-up value and records what the core asks
// of its host.
class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  RecordingHost recorder;
};

// Puts the processor, memory, ROM and shared state back as they are at program start.
void reset_core_state();

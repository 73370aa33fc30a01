#include "ui/shared/machine_choice.h"

#include <gtest/gtest.h>

#include "cpu/cpu_state.h"
#include "memory/bus.h"
#include "tests/support/core_fixture.h"

namespace {

using MachineChoice = CoreTest;

// The console brings the complete processor; a line that names another, or an unknown name, is
// refused whole.
TEST_F(MachineChoice, TheConsoleTakesTheCompleteProcessorAndRefusesAnother) {
  EXPECT_EQ(choose_machine("0.2c", false, "console"), "");
  EXPECT_EQ(cpu.model, CpuModel::r4300i);
  EXPECT_TRUE(bus.console);

  EXPECT_EQ(choose_machine("r4300i", true, "plain"), "");
  EXPECT_EQ(cpu.model, CpuModel::r4300i);
  EXPECT_FALSE(bus.console);

  EXPECT_EQ(choose_machine("0.2c", true, "console"),
            "the console machine has the complete processor (--cpu r4300i)");
  EXPECT_EQ(choose_machine("r4300", false, "plain"), "--cpu takes 0.2c or r4300i");
  EXPECT_EQ(choose_machine("0.2c", false, "consol"), "--machine takes plain or console");
  EXPECT_EQ(cpu.model, CpuModel::r4300i);  // nothing chosen by the refused lines
  EXPECT_FALSE(bus.console);
}

}  // namespace

#include "ui/shared/machine_choice.h"

#include <gtest/gtest.h>

#include "cpu/cpu_state.h"
#include "memory/bus.h"
#include "tests/support/core_fixture.h"

namespace {

using MachineChoice = CoreTest;

// The console brings the complete processor, and the memory expansion with it if asked; a line that
// names another processor, the expansion without the console, or an unknown name, is refused
// whole.
TEST_F(MachineChoice, TheConsoleTakesTheCompleteProcessorAndRefusesAnother) {
  EXPECT_EQ(choose_machine("0.2c", false, "console", false), "");
  EXPECT_EQ(cpu.model, CpuModel::r4300i);
  EXPECT_TRUE(bus.console);

  EXPECT_EQ(bus.rdram_bytes, 0x400000u);
  EXPECT_EQ(choose_machine("r4300i", true, "console", true), "");
  EXPECT_EQ(bus.rdram_bytes, 0x800000u);

  EXPECT_EQ(choose_machine("r4300i", true, "plain", false), "");
  EXPECT_EQ(cpu.model, CpuModel::r4300i);
  EXPECT_FALSE(bus.console);
  EXPECT_EQ(bus.rdram_bytes, 0x400000u);

  EXPECT_EQ(choose_machine("0.2c", true, "console", false),
            "the console machine has the complete processor (--cpu r4300i)");
  EXPECT_EQ(choose_machine("r4300", false, "plain", false), "--cpu takes 0.2c or r4300i");
  EXPECT_EQ(choose_machine("0.2c", false, "consol", false), "--machine takes plain or console");
  EXPECT_EQ(choose_machine("0.2c", false, "plain", true),
            "--expansion needs the console machine (--machine console)");
  EXPECT_EQ(cpu.model, CpuModel::r4300i);  // nothing chosen by the refused lines
  EXPECT_FALSE(bus.console);
}

}  // namespace

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cpu/cpu_state.h"
#include "tests/support/core_fixture.h"

// The registers the test programs use, by their o64 names.
inline constexpr int kT0 = 8;
inline constexpr int kT1 = 9;
inline constexpr int kT2 = 10;
inline constexpr int kT3 = 11;
inline constexpr int kRa = 31;

// Test programs run from the boot address in SP DMEM; data lives in RDRAM.
class InterpreterTest : public CoreTest {
 protected:
  static constexpr uint32_t kCodeAddress = 0x04000040;

  // Assembles a straight-line program at kCodeAddress and steps each of its words once, expecting
  // every one to be carried out.
  void run_program(const std::string& source);
};

// The complete model's programs, in kernel mode with the vectors in KSEG0 and interrupts off
// (Status 0), run line by line. Two wired global TLB entries of 16 MB pages map KUSEG's first
// 32 MB and the 32 MB from the SP memories on onto the same physical addresses, so that the code
// address, mapped with ERL clear, shows what the 0.2c map does.
class CompleteModelTest : public InterpreterTest {
 protected:
  void SetUp() override;

  // Runs `lines` from the code address, one step each (or `steps`).
  void run(const std::vector<std::string>& lines, std::size_t steps = 0);

  uint32_t exception_code() const;
  uint32_t address_of(std::size_t line) const { return kCodeAddress + 4 * line; }
};

// Field by field, the floating-point registers by their bits; names the first field that differs.
testing::AssertionResult same_state(const CpuState& expected, const CpuState& actual);

#include "tests/cpu/interpreter_fixture.h"

#include <cstring>
#include <string>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "memory/memory_map.h"
#include "tests/support/cpu_runner.h"

void InterpreterTest::run_program(const std::string& source) {
  std::size_t words = load_program(kCodeAddress, source);
  ASSERT_GT(words, 0u);
  for (std::size_t i = 0; i < words; ++i) ASSERT_EQ(step(), 0) << "word " << i;
  ASSERT_EQ(cpu.pc, kCodeAddress + 4 * words);
}

void CompleteModelTest::SetUp() {
  InterpreterTest::SetUp();
  cpu.model = CpuModel::r4300i;
  set_model_reset_registers();
  cpu.cp0[r4300i::kStatus] = 0;
  constexpr uint64_t k16MbPages = 0x01FFE000;
  constexpr uint64_t kWritableValidGlobal =
      r4300i::kEntryDirty | r4300i::kEntryValid | r4300i::kEntryGlobal;
  for (const uint64_t first : {uint64_t{0}, uint64_t{kSpDmemFirst}}) {
    TlbEntry& entry = cpu.tlb[first == 0 ? 0 : 1];
    entry.page_mask = k16MbPages;
    entry.entry_hi = first;
    for (uint64_t odd = 0; odd < 2; ++odd) {
      entry.entry_lo[odd] = (first + (odd << 24)) >> 6 | kWritableValidGlobal;
    }
  }
  r4300i::write_cop0(r4300i::kWired, 2);
}

void CompleteModelTest::run(const std::vector<std::string>& lines, std::size_t steps) {
  std::string source;
  for (const std::string& line : lines) source += line + "\n";
  load_program(kCodeAddress, source);
  for (std::size_t i = 0; i < (steps ? steps : lines.size()); ++i) step();
}

uint32_t CompleteModelTest::exception_code() const {
  return (cpu.cp0[r4300i::kCause] & r4300i::kCauseExcCode) >> 2;
}

testing::AssertionResult same_state(const CpuState& expected, const CpuState& actual) {
  auto differs = [](const char* field, int index) {
    testing::AssertionResult failure = testing::AssertionFailure() << field;
    if (index >= 0) failure << "[" << index << "]";
    return failure << " differs";
  };
  for (int i = 0; i < 32; ++i) {
    if (expected.gpr[i] != actual.gpr[i]) return differs("gpr", i);
    if (expected.cp0[i] != actual.cp0[i]) return differs("cp0", i);
    if (std::memcmp(&expected.fpr[i], &actual.fpr[i], sizeof(double)) != 0)
      return differs("fpr", i);
  }
  if (expected.hi_reg != actual.hi_reg) return differs("hi_reg", -1);
  if (expected.lo_reg != actual.lo_reg) return differs("lo_reg", -1);
  if (expected.pc != actual.pc) return differs("pc", -1);
  if (expected.delay_slot_pending != actual.delay_slot_pending)
    return differs("delay_slot_pending", -1);
  if (expected.delay_slot_pc != actual.delay_slot_pc) return differs("delay_slot_pc", -1);
  if (expected.current_instruction != actual.current_instruction) {
    return differs("current_instruction", -1);
  }
  return testing::AssertionSuccess();
}

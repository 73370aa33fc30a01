// The console machine booting real boot code: libdragon's, and the public-domain test ROMs that
// carry it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cpu/cpu_state.h"
#include "machine/execution.h"
#include "machine/instruction_limit.h"
#include "machine/menu_commands.h"
#include "machine/stops/user_breakpoints.h"
#include "tests/support/core_fixture.h"
#include "tests/support/mips_assembler.h"
#include "tests/support/rom_image.h"

namespace {

class ConsoleBoot : public CoreTest {
 protected:
  void load(const std::filesystem::path& rom, bool expansion = false) {
    choose_hardware(Hardware::console, expansion);
    ASSERT_EQ(load_rom(rom.string().c_str()), 1);
  }

  static StopReason run(uint64_t limit) {
    InstructionLimit counter(limit);
    shared.running = 1;
    execution.start(&counter);
    return execution.wait_for_run_end();
  }
};

std::vector<uint8_t> file_bytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The boot code copies the cartridge from 0x1000 on to the header's boot address (0x80000400)
// and jumps there, whatever the engine. It sizes RDRAM by writing and reading back a word in each
// pair of chips, and leaves the size at 0x80000318: 4 MB, or 8 MB with the memory expansion, whose
// top word the program then stores to and reads back (without it, 0 and the store dropped).
TEST_F(ConsoleBoot, LibdragonsBootCodeStartsTheProgramAfterItOnEveryEngineWithEitherRdram) {
  std::vector<uint8_t> rom = file_bytes(real_testdata("libdragon_ipl3_compat.z64"));
  ASSERT_EQ(rom.size(), 0x1000u);
  const std::vector<uint8_t> program = to_bytes(
      assemble("lui $t0, 0x1234\n ori $t0, $t0, 0x5678\n lui $t2, 0x8000\n lw $t1, 0x318($t2)\n"
               "lui $t3, 0x8080\n sw $t0, -4($t3)\n lw $t4, -4($t3)\n loop: j loop\n nop\n"));
  rom.insert(rom.end(), program.begin(), program.end());
  TempDir dir;
  const std::string path = dir.write("boot.z64", rom);
  for (bool expansion : {false, true}) {
    for (Engine engine : {Engine::exact, Engine::decoded, Engine::jit}) {
      SCOPED_TRACE(::testing::Message() << static_cast<int>(engine) << " expansion " << expansion);
      shared.engine = engine;
      load(path, expansion);
      user_breakpoints.insert(0x80000400);
      ASSERT_EQ(run(40'000'000), StopReason::user_breakpoint);
      user_breakpoints.clear();
      EXPECT_EQ(run(1000), StopReason::paused);
      EXPECT_EQ(cpu.gpr[8], 0x12345678u);
      EXPECT_EQ(cpu.gpr[9], expansion ? 0x800000u : 0x400000u);
      EXPECT_EQ(cpu.gpr[12], expansion ? 0x12345678u : 0u);
      EXPECT_TRUE(recorder.messages().empty());
    }
  }
}

class SuiteRom : public ConsoleBoot, public ::testing::WithParamInterface<const char*> {};

// Each boots through libdragon's boot code to its program at 0x80001000, then goes on without a
// stop or a message of any kind.
TEST_P(SuiteRom, BootsToItsProgramAndRunsOnWithoutStopping) {
  load(testdata_dir() / "suite" / "roms" / (std::string(GetParam()) + ".z64"));
  user_breakpoints.insert(0x80001000);
  ASSERT_EQ(run(40'000'000), StopReason::user_breakpoint);
  user_breakpoints.clear();
  EXPECT_EQ(run(5'000'000), StopReason::paused);
  EXPECT_TRUE(recorder.messages().empty());
  EXPECT_GE(cpu.pc, 0x80001000u);
  EXPECT_LT(cpu.pc, 0x80100000u);
}

INSTANTIATE_TEST_SUITE_P(
    Suite, SuiteRom,
    ::testing::Values("CP0_COP0Cause_COP0Cause", "CP1_ADD_CP1ADD", "CP1_CVT_CP1CVT",
                      "CP1_C_FPUCompare_FPUCompare-c.ole.s", "CP1_ROUND_CP1ROUND", "CPU_ADD_CPUADD",
                      "CPU_DMULTU_CPUDMULTU", "CPU_LOADSTORE_LW_CPULW",
                      "CPU_SHIFT_DSRA32_CPUDSRA32", "DMAAlignment-PI-cart_DMAAlignment-PI-ROM-FROM",
                      "Exceptions_Compare_ExceptionCompareRegisters",
                      "Exceptions_Syscall_ExceptionSyscall", "Exceptions_TLB_ExceptionTLBReadMiss",
                      "demo_FrameBufferDMA32BPP640X480", "demo_HelloWorldCPU16BPP320X240",
                      "demo_InputCPU", "demo_InterruptVI"),
    [](const ::testing::TestParamInfo<const char*>& info) {
      std::string name = info.param;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

}  // namespace

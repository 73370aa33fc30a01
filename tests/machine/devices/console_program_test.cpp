// The devices under a running program: a PI DMA whose interrupt the processor takes, on every
// engine alike; and any value in any register, any DMA, never reaching past the machine's memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/exceptions.h"
#include "machine/execution.h"
#include "machine/instruction_limit.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"
#include "tests/machine/devices/console_fixture.h"
#include "tests/support/cpu_runner.h"
#include "tests/support/mips_assembler.h"
#include "tests/support/rom_image.h"

namespace {

// From RDRAM: a 16-byte PI DMA with the PI interrupt enabled in MI and in Status, then a wait for
// the handler, which records Cause and EPC, lowers the interrupt and counts itself in $v1.
constexpr const char* kProgram = R"(
      lui $t0, 0xA460
      lui $t1, 0x0010
      sw $t1, 0($t0)            # PI_DRAM_ADDR
      lui $t2, 0x1000
      ori $t2, $t2, 0x1000
      sw $t2, 4($t0)            # PI_CART_ADDR
      lui $t3, 0xA430
      ori $t4, $zero, 0x0200
      sw $t4, 0xC($t3)          # MI_MASK: set PI
      ori $t5, $zero, 0x0401
      mtc0 $t5, $12             # Status: IM2, IE
      ori $t6, $zero, 15
      sw $t6, 0xC($t0)          # PI_WR_LEN
      lw $s3, 0x10($t0)         # PI_STATUS, busy
      ori $t7, $zero, 0x4000    # the most the wait goes round
  wait:
      bne $v1, $zero, done
      addiu $s0, $s0, 1
      bne $s0, $t7, wait
      nop
  done:
      lui $s1, 0x8010
      lw $s2, 0($s1)
      lw $s4, 0x10($t0)         # PI_STATUS, idle and no interrupt
      lui $at, 0x0400
      ori $at, $at, 0xA8
      jr $at
      nop
)";

constexpr const char* kHandler = R"(
      mfc0 $a0, $13
      mfc0 $a1, $14
      lui $k0, 0xA460
      ori $k1, $zero, 2
      sw $k1, 0x10($k0)         # PI_STATUS: clear the interrupt
      addiu $v1, $v1, 1
      eret
)";

class ConsoleProgram : public ConsoleTest {
 protected:
  // The program's state where it stops, run on `engine` from a fresh machine.
  CpuState run_on(Engine engine) {
    reset_all_state();
    set_host(&recorder);
    device_map = DeviceMap{};
    console_devices.map_into(device_map);
    console_devices.reset(TvType::ntsc);
    choose_cpu_model(CpuModel::r4300i);
    RomImage image;
    image.boot_code = to_bytes(assemble("lui $at, 0x8000\n ori $at, $at, 0x1000\n jr $at\n nop"));
    image.cartridge = {0xCA, 0xFE, 0xF0, 0x0D};
    EXPECT_EQ(load_rom(dir.write("program.z64", image.native()).c_str()), 1);
    place_words(0x80001000, assemble(kProgram));
    place_words(r4300i::kExceptionVector, assemble(kHandler));
    shared.engine = engine;
    shared.running = 1;
    InstructionLimit limit(
        200000);  // the program ends well before, unless it never leaves the handler
    execution.start(&limit);
    EXPECT_EQ(execution.wait_for_run_end(), StopReason::stop_address);
    return cpu;
  }

  TempDir dir;
};

TEST_F(ConsoleProgram, APiDmaInterruptIsTakenAndReturnedFromOnEveryEngine) {
  const CpuState exact = run_on(Engine::exact);
  EXPECT_EQ(exact.gpr[3], 1u);                        // one interrupt
  EXPECT_EQ(exact.gpr[4] & 0x47C, kCauseRcpPending);  // IP2, code 0 (interrupt)
  EXPECT_GE(exact.gpr[5], 0xFFFFFFFF8000103Cu);       // in the wait
  EXPECT_LE(exact.gpr[5], 0xFFFFFFFF80001048u);
  EXPECT_EQ(static_cast<uint32_t>(exact.gpr[18]), 0xCAFEF00Du);
  EXPECT_EQ(exact.gpr[19], 1u);  // busy just after the start
  EXPECT_EQ(exact.gpr[20], 0u);
  EXPECT_GT(exact.gpr[16], 10u);  // the wait went round while the DMA ran, but not to its end
  EXPECT_LT(exact.gpr[16], 0x4000u);
  EXPECT_EQ(exact.cp0[r4300i::kCause] & kCauseRcpPending, 0u);
  for (Engine engine : {Engine::decoded, Engine::jit}) {
    const CpuState other = run_on(engine);
    for (int r = 0; r < 32; ++r) EXPECT_EQ(other.gpr[r], exact.gpr[r]) << "register " << r;
    EXPECT_EQ(other.cp0[kCountRegister], exact.cp0[kCountRegister]);
    EXPECT_EQ(other.cp0[r4300i::kEpc], exact.cp0[r4300i::kEpc]);
  }
}

// Any value in any register of every block, through the processor's accesses of every width and
// a debugger's, with the clock moving on between: DMAs of any length to and from any address.
TEST_F(ConsoleTest, AnyValueInAnyRegisterStaysWithinTheMachine) {
  std::mt19937 random(2077);
  const DeviceMap map = device_map;
  for (int round = 0; round < 20000; ++round) {
    const DeviceRange& range = map.ranges[random() % map.count];
    const uint32_t span = range.last - range.first + 1;
    const uint32_t address = range.first + (span <= 0x1000 ? random() % span : random() % 0x1000);
    const uint32_t value = random() % 3 == 0 ? random() % 64 : static_cast<uint32_t>(random());
    switch (random() % 4) {
      case 0:
        load_word(0xA0000000 | (address & ~3u));
        break;
      case 1:
        mem_write_byte(0xA0000000 | address, static_cast<uint8_t>(value));
        break;
      case 2:
        poke_byte(0xA0000000 | address, static_cast<uint8_t>(value));
        peek_byte(0xA0000000 | address);
        break;
      default:
        store_word(0xA0000000 | (address & ~3u), value);
        break;
    }
    advance(random() % 4 == 0 ? random() % 200000 : random() % 64);
    for (uint64_t due : scheduler.due)
      ASSERT_TRUE(due == Scheduler::kNever || due >= scheduler.now);
  }
  settle();
}

}  // namespace

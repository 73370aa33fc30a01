#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cpu/cpu_state.h"
#include "machine/machine_state.h"
#include "memory/memory_map.h"
#include "tests/cpu/interpreter_fixture.h"
#include "tests/support/cpu_runner.h"

namespace {

using LoadStore = InterpreterTest;
using Message = RecordingHost::Message;

void put_bytes(uint32_t rdram_offset, const std::vector<uint8_t>& bytes) {
  std::memcpy(memory.rdram + rdram_offset, bytes.data(), bytes.size());
}

Message read_error(const std::string& address, int count, uint32_t pc) {
  char text[160];
  std::snprintf(
      text, sizeof text,
      "Unhandled memory address: %s\nStopped on opcode number: %d\nPC: %x\nOpcode:Reading",
      address.c_str(), count, pc);
  return {"Memory Error: Read", text};
}

Message write_error(const std::string& address) {
  return {"Memory Error: Write", "Unhandled memory address: " + address};
}

TEST_F(LoadStore, LoadsAreBigEndianAndExtendByTheirWidth) {
  put_bytes(0x100, {0x80, 0x00, 0x00, 0x01});
  put_bytes(0x200, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08});
  put_bytes(0x300, {0x7F, 0xFF, 0xFF, 0xFF});
  cpu.gpr[kT0] = 0;
  cpu.gpr[kT1] = 0xA0000200;  // an uncached address of the same RDRAM
  run_program(
      "lw $t2, 0x100($t0)\n"
      "ld $t3, 0($t1)\n"
      "lw $t1, 0x300($t0)\n"
      "lb $t0, 0x100($zero)\n"
      "lbu $s0, 0x100($zero)\n");
  EXPECT_EQ(cpu.gpr[kT2], 0xFFFFFFFF80000001u);
  EXPECT_EQ(cpu.gpr[kT3], 0x0102030405060708u);
  EXPECT_EQ(cpu.gpr[kT1], 0x7FFFFFFFu);
  EXPECT_EQ(cpu.gpr[kT0], 0xFFFFFFFFFFFFFF80u);
  EXPECT_EQ(cpu.gpr[16], 0x80u);
}

TEST_F(LoadStore, AddressIsTheLowHalfOfTheBasePlusTheZeroExtendedOffset) {
  memory.rdram[0x1000C] = 0x5A;
  memory.rdram[0xC] = 0xA5;   // where a sign-extended offset would read
  memory.rdram[0x10] = 0x3C;  // where the 32-bit sum wraps to
  memory.rdram[0x100] = 0x77;
  cpu.gpr[kT0] = 0x10;
  cpu.gpr[kT1] = 0xFFFFFFF0;
  cpu.gpr[kT2] = 0x1234567800000100;  // the high half takes no part
  run_program(
      "lbu $t3, -4($t0)\n"  // encodes the offset field 0xFFFC
      "lbu $t1, 0x20($t1)\n"
      "lbu $t2, 0($t2)\n");
  EXPECT_EQ(cpu.gpr[kT3], 0x5Au);
  EXPECT_EQ(cpu.gpr[kT1], 0x3Cu);
  EXPECT_EQ(cpu.gpr[kT2], 0x77u);
  EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(LoadStore, StoreWritesTheLowHalfMostSignificantByteFirst) {
  put_bytes(0x200, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE});
  cpu.gpr[kT0] = 0x80000201;  // KSEG0, unaligned
  cpu.gpr[kT1] = 0xDEADBEEF11223344;
  run_program("sw $t1, 4($t0)");
  const uint8_t expected[] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0x11, 0x22, 0x33, 0x44, 0xEE};
  EXPECT_EQ(std::memcmp(memory.rdram + 0x200, expected, sizeof expected), 0);
}

TEST_F(LoadStore, ALoadFromUnmappedMemoryStillWritesItsRegister) {
  cpu.gpr[kT0] = 0x00400000;  // just past RDRAM
  cpu.gpr[kT2] = 0x5555;
  cpu.cp0[kCountRegister] = 7;
  shared.running = 1;
  load_program(kCodeAddress, "lw $t2, 0($t0)");
  EXPECT_EQ(step(), 0);
  EXPECT_EQ(cpu.gpr[kT2], 0u);
  EXPECT_EQ(cpu.pc, kCodeAddress + 4);
  EXPECT_EQ(shared.running, 0);
  // The message names the address as asked, the pc of the load and the fetch's opcode text.
  EXPECT_EQ(recorder.messages(),
            (std::vector<Message>{
                read_error("400000", 7, kCodeAddress), read_error("400001", 7, kCodeAddress),
                read_error("400002", 7, kCodeAddress), read_error("400003", 7, kCodeAddress)}));
}

TEST_F(LoadStore, ALoadAcrossTheEndOfRdramKeepsTheBytesItCouldRead) {
  put_bytes(0x3FFFFE, {0x81, 0x02});
  cpu.gpr[kT0] = 0x803FFFFE;
  load_program(kCodeAddress, "lw $t2, 0($t0)");
  EXPECT_EQ(step(), 0);
  EXPECT_EQ(cpu.gpr[kT2], 0xFFFFFFFF81020000u);
  EXPECT_EQ(recorder.messages(), (std::vector<Message>{read_error("80400000", 0, kCodeAddress),
                                                       read_error("80400001", 0, kCodeAddress)}));
}

TEST_F(LoadStore, AStoreToUnmappedMemoryReportsEachByteAndCarriesOn) {
  cpu.gpr[kT0] = 0xA4900000;
  cpu.gpr[kT1] = 0x11223344;
  shared.running = 1;
  load_program(kCodeAddress, "sw $t1, 0($t0)");
  EXPECT_EQ(step(), 0);
  EXPECT_EQ(cpu.pc, kCodeAddress + 4);
  EXPECT_EQ(shared.running, 1);
  EXPECT_EQ(recorder.messages(),
            (std::vector<Message>{write_error("4900000"), write_error("4900001"),
                                  write_error("4900002"), write_error("4900003")}));
}

TEST_F(LoadStore, AStoreAcrossTheEndOfRdramWritesTheBytesThatFit) {
  cpu.gpr[kT0] = 0xA03FFFFE;
  cpu.gpr[kT1] = 0x11223344;
  run_program("sw $t1, 0($t0)");
  EXPECT_EQ(memory.rdram[0x3FFFFE], 0x11);
  EXPECT_EQ(memory.rdram[0x3FFFFF], 0x22);
  EXPECT_EQ(recorder.messages(),
            (std::vector<Message>{write_error("400000"), write_error("400001")}));
}

}  // namespace

// The complete model's TLB and address spaces: the TLB's exceptions and their vectors, each page
// size, Random, ASIDs and the global bit, the TLB instructions, the segments each mode reaches,
// the Watch exception and CACHE. How the engines run mapped code is checked in
// tests/machine/complete_model_engines_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/address_translation.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/exceptions.h"
#include "cpu/r4300i/tlb.h"
#include "cpu/scheduler.h"
#include "memory/memory_map.h"
#include "tests/cpu/interpreter_fixture.h"
#include "tests/support/cpu_runner.h"

namespace {

using namespace r4300i;

constexpr uint64_t kV = kEntryValid;
constexpr uint64_t kD = kEntryDirty;
constexpr uint64_t kG = kEntryGlobal;
constexpr uint64_t kAsid = 0x2A;

// EntryLo of the frame at `physical`.
constexpr uint64_t frame(uint32_t physical, uint64_t bits) {
  return physical >> 6 | bits;
}

class Tlb : public CompleteModelTest {
 protected:
  void SetUp() override {
    CompleteModelTest::SetUp();
    write_cop0(kEntryHi, kAsid);
  }

  // Entry `index` as TLBWI writes it from the registers, which keep EntryHi's ASID.
  static void write_entry(unsigned index, uint64_t vpn, uint64_t lo0, uint64_t lo1,
                          uint64_t page_mask = 0) {
    const uint64_t entry_hi = cpu.cp0[kEntryHi];
    write_cop0(kIndex, index);
    write_cop0(kEntryHi, vpn | (entry_hi & kEntryAsid));
    write_cop0(kEntryLo0, lo0);
    write_cop0(kEntryLo1, lo1);
    write_cop0(kPageMask, page_mask);
    write_indexed_tlb_entry();
    cpu.cp0[kEntryHi] = entry_hi;
  }

  // Steps until pc reaches `address`, at most `most` times.
  static void step_to(uint32_t address, int most = 16) {
    for (int i = 0; i < most && cpu.pc != address; ++i) step();
  }
};

// 0x02000000: an even page of RDRAM that is valid but not dirty, an odd one that is not valid.
// 0x10000000: no entry.
TEST_F(Tlb, RefillInvalidAndModifiedTakeTheirVectorsInAndOutOfDelaySlots) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    uint32_t status;
    Exception code;
    uint32_t vector;
    size_t epc_line;  // the line EPC names
    bool delay_slot;
    uint64_t bad_address;
  };
  constexpr uint32_t kRefill = 0x80000000;
  constexpr uint32_t kGeneral = 0x80000180;
  const Case cases[] = {
      {"load refill",
       {"lui $t0, 0x1000", "lw $t1, 8($t0)"},
       0,
       Exception::tlb_load,
       kRefill,
       1,
       false,
       0x10000008},
      {"store refill in a taken branch's slot",
       {"lui $t0, 0x1000", "beq $zero, $zero, 1f", "sw $t1, 0($t0)", "1: nop"},
       0,
       Exception::tlb_store,
       kRefill,
       1,
       true,
       0x10000000},
      {"fetch refill",
       {"lui $t0, 0x1000", "jr $t0", "nop"},
       0,
       Exception::tlb_load,
       kRefill,
       SIZE_MAX,
       false,
       0x10000000},
      {"refill in the 64-bit kernel space's mode",
       {"lui $t0, 0x1000", "lb $t1, 0($t0)"},
       kStatusKX,
       Exception::tlb_load,
       0x80000080,
       1,
       false,
       0x10000000},
      {"refill under BEV",
       {"lui $t0, 0x1000", "lb $t1, 0($t0)"},
       kStatusBEV,
       Exception::tlb_load,
       0xBFC00200,
       1,
       false,
       0x10000000},
      {"store into a clean page",
       {"lui $t0, 0x0200", "sh $t1, 6($t0)"},
       0,
       Exception::tlb_modified,
       kGeneral,
       1,
       false,
       0x02000006},
      {"store into a clean page in a not-taken branch's slot",
       {"lui $t0, 0x0200", "bne $zero, $zero, 1f", "sb $t1, 0($t0)", "1: nop"},
       0,
       Exception::tlb_modified,
       kGeneral,
       1,
       true,
       0x02000000},
      {"load from an invalid page",
       {"lui $t0, 0x0200", "ld $t1, 0x1008($t0)"},
       0,
       Exception::tlb_load,
       kGeneral,
       1,
       false,
       0x02001008},
      {"store into an invalid page",
       {"lui $t0, 0x0200", "sw $t1, 0x1000($t0)"},
       0,
       Exception::tlb_store,
       kGeneral,
       1,
       false,
       0x02001000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reset_all_state();
    SetUp();
    write_entry(5, 0x02000000, frame(0x3000, kV), frame(0x4000, kD));
    cpu.cp0[kStatus] = c.status;
    cpu.gpr[kT1] = 0x5AFE;
    load_program(kCodeAddress, [&] {
      std::string source;
      for (const std::string& line : c.lines) source += line + "\n";
      return source;
    }());
    step_to(c.vector);
    ASSERT_EQ(cpu.pc, c.vector);
    EXPECT_EQ(exception_code(), static_cast<uint32_t>(c.code));
    EXPECT_EQ(cpu.cp0[kEpc], c.epc_line == SIZE_MAX ? c.bad_address : address_of(c.epc_line));
    EXPECT_EQ((cpu.cp0[kCause] & kCauseBD) != 0, c.delay_slot);
    EXPECT_EQ(cpu.cp0[kBadVAddr], c.bad_address);
    EXPECT_EQ(cpu.cp0[kEntryHi], (c.bad_address & ~uint64_t{0x1FFF}) | kAsid);
    EXPECT_EQ(cpu.cp0[kContext], (c.bad_address >> 13) << 4);
    EXPECT_EQ(cpu.gpr[kT1], 0x5AFEu);
    EXPECT_EQ(std::count(memory.rdram + 0x3000, memory.rdram + 0x3008, 0), 8);
  }
}

TEST_F(Tlb, ARefillWithExlSetTakesTheGeneralVectorAndKeepsEpc) {
  cpu.cp0[kStatus] = kStatusEXL;
  cpu.cp0[kEpc] = 0x1234;
  cpu.cp0[kContext] = 0xFFFFFFFFFF800000;  // PTEBase stays
  cpu.cp0[kXContext] = 0xFFFFFFFE00000000;
  run({"lui $t0, 0xC000", "ori $t0, $t0, 0x4000", "lw $t1, 0($t0)"});  // KSSEG
  EXPECT_EQ(cpu.pc, 0x80000180u);
  EXPECT_EQ(exception_code(), static_cast<uint32_t>(Exception::tlb_load));
  EXPECT_EQ(cpu.cp0[kEpc], 0x1234u);
  EXPECT_EQ(cpu.cp0[kBadVAddr], 0xFFFFFFFFC0004000u);
  // VPN2 is bits 39..13 and R bits 63..62 of the sign-extended address.
  EXPECT_EQ(cpu.cp0[kEntryHi], 0xC00000FFC0004000u | kAsid);
  EXPECT_EQ(cpu.cp0[kContext], 0xFFFFFFFFFF800000u | 0x60002u << 4);
  EXPECT_EQ(cpu.cp0[kXContext], 0xFFFFFFFE00000000u | uint64_t{3} << 31 | 0x7FE0002u << 4);
}

// Each size maps a pair of pages of its own size: an address's offset within its page is kept, the
// bit above the offset chooses the odd frame, and past the pair no entry matches.
TEST_F(Tlb, EachPageSizeMapsItsPairOfPages) {
  struct Size {
    uint32_t bytes;
    uint64_t page_mask;
  };
  const Size sizes[] = {{4 << 10, 0},         {16 << 10, 0x6000},  {64 << 10, 0x1E000},
                        {256 << 10, 0x7E000}, {1 << 20, 0x1FE000}, {4 << 20, 0x7FE000},
                        {16 << 20, 0x1FFE000}};
  constexpr uint64_t kVirtual = 0x40000000;  // aligned on every pair's size
  constexpr uint32_t kEven = 0x20000000;
  constexpr uint32_t kOdd = 0x60000000;
  for (const Size& size : sizes) {
    SCOPED_TRACE(size.bytes);
    write_entry(9, kVirtual, frame(kEven, kV), frame(kOdd, kV), size.page_mask);
    auto physical = [](uint64_t address) { return translate(address, Access::load); };
    EXPECT_EQ(physical(kVirtual + 4).physical, kEven + 4);
    EXPECT_EQ(physical(kVirtual + size.bytes - 4).physical, kEven + size.bytes - 4);
    EXPECT_EQ(physical(kVirtual + size.bytes).physical, kOdd);
    EXPECT_EQ(physical(kVirtual + 2 * size.bytes - 1).physical, kOdd + size.bytes - 1);
    EXPECT_EQ(physical(kVirtual + 2 * size.bytes).fault, Fault::tlb_refill);
    EXPECT_EQ(physical(kVirtual - 1).fault, Fault::tlb_refill);
  }
}

// Random counts down with the clock from 31 to Wired and round again; with Wired above 31, through
// 0 and 63 down to Wired. TLBWR writes the entry it names.
TEST_F(Tlb, RandomCountsDownBetweenWiredAnd31AndChoosesTlbwrsEntry) {
  for (uint64_t wired : {0u, 8u, 31u, 40u}) {
    SCOPED_TRACE(wired);
    scheduler.now = 1000;
    write_cop0(kWired, wired);
    ++scheduler.now;  // the write's own instruction ends
    uint32_t previous = 32;
    for (int i = 0; i < 130; ++i, ++scheduler.now) {
      const uint32_t random = random_register();
      if (i == 0 || previous == wired) {
        EXPECT_EQ(random, 31u) << i;
      } else {
        EXPECT_EQ(random, (previous - 1) & 63) << i;
      }
      previous = random;
    }
  }
  write_cop0(kWired, 3);
  scheduler.now += 1 + 31 - 17;  // Random reads 17
  EXPECT_EQ(read_cop0(kRandom), 17u);
  write_cop0(kEntryHi, 0x08C00000 | kAsid);
  write_cop0(kEntryLo0, frame(0x8000, kV | kD));
  run({"tlbwr"});
  EXPECT_EQ(cpu.tlb[17].entry_hi, 0x08C00000u | kAsid);
  EXPECT_EQ(cpu.tlb[17].entry_lo[0], frame(0x8000, kV | kD));
}

TEST_F(Tlb, AsidsAndTheGlobalBitDecideWhichEntryMatches) {
  write_entry(10, 0x03000000, frame(0x5000, kV), frame(0x6000, kV));
  write_cop0(kEntryHi, 0x07);
  write_entry(11, 0x03000000, frame(0x7000, kV), frame(0x8000, kV));
  write_cop0(kEntryHi, 0x33);
  write_entry(12, 0x03800000, frame(0x9000, kV | kG), frame(0xA000, kV));  // G from both halves
  write_entry(13, 0x03C00000, frame(0xB000, kV | kG), frame(0xC000, kV | kG));
  struct Case {
    uint64_t asid;
    uint64_t address;
    Translation expected;
  };
  const Case cases[] = {
      {kAsid, 0x03000010, {0x5010, Fault::none}}, {0x07, 0x03001010, {0x8010, Fault::none}},
      {0x33, 0x03000010, {0, Fault::tlb_refill}}, {0x07, 0x03800000, {0, Fault::tlb_refill}},
      {0x07, 0x03C01000, {0xC000, Fault::none}},  {kAsid, 0x03C00004, {0xB004, Fault::none}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    cpu.cp0[kEntryHi] = c.asid;
    const Translation found = translate(c.address, Access::load);
    EXPECT_EQ(found.fault, c.expected.fault);
    EXPECT_EQ(found.physical, c.expected.physical);
  }
  // TLBR gives back what TLBWI wrote, the global bit in both halves.
  write_cop0(kIndex, 13);
  run({"tlbr"});
  EXPECT_EQ(cpu.cp0[kEntryHi], 0x03C00033u);
  EXPECT_EQ(cpu.cp0[kEntryLo0], frame(0xB000, kV | kG));
  EXPECT_EQ(cpu.cp0[kEntryLo1], frame(0xC000, kV | kG));
  write_cop0(kIndex, 12);
  run({"tlbr"});
  EXPECT_EQ(cpu.cp0[kEntryLo0], frame(0x9000, kV));
}

// TLBP finds the entry matching EntryHi's page and ASID, or sets Index's P.
TEST_F(Tlb, TlbpFindsTheMatchingEntryOrSetsTheProbeFailure) {
  write_entry(20, 0x09000000, 0, 0, 0x1FE000);  // a pair of 1 MB pages
  run({"lui $t0, 0x0910", "ori $t0, $t0, 0x2A", "mtc0 $t0, $10", "tlbp", "mfc0 $t1, $0",
       "lui $t0, 0x0920", "mtc0 $t0, $10", "tlbp", "mfc0 $t2, $0"});
  EXPECT_EQ(cpu.gpr[kT1], 20u);
  EXPECT_EQ(cpu.gpr[kT2], 0xFFFFFFFF80000014u);  // P, and the index left as it was
}

TEST_F(Tlb, EachModeReachesItsSegmentsAndThe64BitSpacesItsBitAllows) {
  struct Case {
    uint32_t status;
    uint64_t address;
    Translation expected;
  };
  constexpr Translation kError{0, Fault::address_error};
  constexpr Translation kRefill{0, Fault::tlb_refill};
  constexpr uint32_t kUser = kStatusUser;
  constexpr uint32_t kSupervisor = kStatusSupervisor;
  const Case cases[] = {
      {kStatusERL, 0x10000004, {0x10000004, Fault::none}},  // KUSEG unmapped while ERL is set
      {0, 0xFFFFFFFFA4000010, {0x04000010, Fault::none}},
      {0, 0xFFFFFFFFE0000000, kRefill},  // KSEG3
      {0, 0x0000000100000000, kError},
      {kStatusKX, 0x000000FFFFFFF000, kRefill},  // XKUSEG
      {kStatusKX, 0x0000010000000000, kError},
      {kStatusKX, 0x4000000000001000, kRefill},                    // XKSSEG
      {kStatusKX, 0x9000000012345678, {0x12345678, Fault::none}},  // XKPHYS
      {kStatusKX, 0x9000000112345678, kError},
      {kStatusKX, 0xC000000000002000, kRefill},  // XKSEG
      {kStatusKX, 0xC00000FF80000000, kError},
      {kUser, 0x7FFFF000, kRefill},
      {kUser, 0xFFFFFFFF80000000, kError},
      {kUser, 0x000000FFFFFFF000, kError},
      {kUser | kStatusUX, 0x000000FFFFFFF000, kRefill},
      {kUser | kStatusUX, 0x4000000000001000, kError},
      {kSupervisor, 0xFFFFFFFFC0000000, kRefill},  // SSEG
      {kSupervisor, 0xFFFFFFFFE0000000, kError},
      {kSupervisor, 0xFFFFFFFFA0000000, kError},
      {kSupervisor | kStatusSX, 0x4000000000001000, kRefill},
      {kSupervisor | kStatusSX, 0x9000000012345678, kError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.status << " " << c.address);
    cpu.cp0[kStatus] = c.status;
    const Translation found = translate(c.address, Access::load);
    EXPECT_EQ(found.fault, c.expected.fault);
    EXPECT_EQ(found.physical, c.expected.physical);
  }
}

// WatchLo names a physical doubleword: an access there through any address raises the Watch
// exception before it moves anything, unless EXL is set.
TEST_F(Tlb, TheWatchExceptionComesBeforeAWatchedLoadOrStore) {
  write_entry(7, 0x06000000, frame(0x2000, kV | kD), 0);
  struct Case {
    uint64_t watch;
    uint32_t status;
    const char* access;
    bool raises;
  };
  const Case cases[] = {
      {0x2108 | kWatchRead, 0, "lw $t1, 0x10C($t0)", true},
      {0x2108 | kWatchRead, 0, "sw $t1, 0x10C($t0)", false},
      {0x2108 | kWatchWrite, 0, "sb $t1, 0x10F($t0)", true},
      {0x2108 | kWatchWrite, kStatusEXL, "sb $t1, 0x10F($t0)", false},
      {0x2110 | kWatchRead | kWatchWrite, 0, "ld $t1, 0x108($t0)", false},
      {0x2110 | kWatchRead | kWatchWrite, 0, "ld $t1, 0x2110($s0)", true},  // through KSEG1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.access);
    cpu.pc = kCodeAddress;
    cpu.cp0[kStatus] = c.status;
    cpu.cp0[kCause] = 0;
    cpu.cp0[kWatchLo] = c.watch;
    cpu.gpr[kT1] = 0x5AFE;
    run({"lui $t0, 0x0600", "lui $s0, 0xA000", c.access});
    EXPECT_EQ(exception_code() == static_cast<uint32_t>(Exception::watch), c.raises);
    EXPECT_EQ(cpu.pc == kExceptionVector, c.raises);
    if (c.raises) {
      EXPECT_EQ(cpu.gpr[kT1], 0x5AFEu);
    }
  }
}

// CACHE finds its address as a load would, and goes no further.
TEST_F(Tlb, CacheRaisesTheTlbExceptionsOfALoadAndOtherwiseDoesNothing) {
  run({"lui $t0, 0x8000", "cache 0x15, 0x10($t0)", "lui $t0, 0x1000", "cache 0x10, 0($t0)"});
  EXPECT_EQ(exception_code(), static_cast<uint32_t>(Exception::tlb_load));
  EXPECT_EQ(cpu.cp0[kEpc], address_of(3));
  EXPECT_EQ(cpu.cp0[kBadVAddr], 0x10000000u);
}

// LL keeps the translated address in LLAddr.
TEST_F(Tlb, LlKeepsThePhysicalAddress) {
  write_entry(8, 0x07000000, frame(0x9000, kV), frame(0xA000, kV));
  run({"lui $t0, 0x0700", "ll $t1, 0x1230($t0)"});
  EXPECT_EQ(cpu.cp0[kLLAddr], 0xA230u >> 4);
}

}  // namespace

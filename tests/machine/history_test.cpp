#include "machine/history/history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string_view>

#include "machine/debug_access.h"
#include "machine/devices/plain_registers.h"
#include "machine/execution.h"
#include "machine/instruction_limit.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "machine/screen_feed.h"
#include "memory/memory_map.h"
#include "memory/rom_image.h"
#include "tests/support/core_fixture.h"
#include "tests/support/cpu_difference.h"
#include "tests/support/engine_differential.h"
#include "tests/support/mips_assembler.h"
#include "tests/support/rom_image.h"

namespace {

// The standard library's hash runs uninstrumented under the sanitizers: every page of memory is
// digested at every count.
uint64_t digest(const uint8_t* bytes, std::size_t size) {
  return std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char*>(bytes), size));
}

// Everything a run depends on: the processor, every page of plain storage, the register blocks
// and the cartridge position. Pages are kept as digests, so that a test can hold hundreds.
struct MachineView {
  CpuState cpu;
  std::array<uint64_t, kCodePages> pages;
  uint64_t register_blocks;
  long cartridge_position;

  static MachineView take() {
    MachineView view{::cpu, {}, 0, std::ftell(rom.rom_file)};
    for (int i = 0; i < kCodePages; ++i) view.pages[i] = digest(code_page_storage(i), 4096);
    view.register_blocks = digest(plain_registers.bytes.data(), plain_registers.bytes.size());
    return view;
  }

  // The first difference, in words; empty when there is none.
  std::string difference(const MachineView& expected) const {
    FirstDifference first;
    first.compare(expected.cpu, cpu);
    for (int i = 0; i < kCodePages; ++i) {
      first.compare("page " + std::to_string(i), expected.pages[i], pages[i]);
    }
    first.compare("register blocks", expected.register_blocks, register_blocks);
    first.compare("cartridge position", expected.cartridge_position, cartridge_position);
    return first.text();
  }
};

struct Program {
  std::string source;
  bool stop_on_unhandled = true;
  std::vector<uint32_t> breakpoints;
  CpuModel model = CpuModel::v02c;
  Hardware hardware = Hardware::plain_storage;
};

// Stores into RDRAM, SP DMEM and a register block, cartridge reads, a memory error, Count
// written, a word not carried out, branches with their delay slots, a store into the code it
// runs, and on through the breakpoint address, which stops every run that reaches it.
const char* kDirected = R"(
    lui $s0, 0x8000
    lui $s1, 0xA400
    lui $s2, 0xB000
    lui $s3, 0x0500
    lui $s5, 0xA430          # the MI registers
    addiu $s4, $zero, 6
    lui $t7, 0x2529          # "addiu $t1, $t1, 0"
loop:
    or $t5, $t7, $s4
    sw $t5, 0x70($s1)        # rewrites the word at 0x04000070
    lw $t0, 0($s2)
    sw $t0, 0x1FFC($s0)
    sw $t0, 0x2000($s0)
    addiu $t1, $t1, 0        # at 0x04000070
    beq $t1, $t0, skip
    lbu $t2, 0($s2)          # at 0x04000078
    addiu $t3, $t3, 1
skip:
    lw $t4, 0($s3)           # nothing is there
    sw $t1, 0x0C($s5)
    mtc0 $t1, $9
    srl $t6, $t6, 1          # not carried out
    addiu $s4, $s4, -1
    bne $s4, $zero, loop
    sw $s4, 0x800($s1)
    lui $k0, 0x0400
    ori $k0, $k0, 0xB0
    jr $k0
    nop
)";

// A loop of random words: arithmetic, loads and stores within eight pages of RDRAM and SP DMEM,
// cartridge reads, forward branches over a word, now and then a memory error, a Count written
// or a word not carried out; afterwards on through the breakpoint address.
Program random_program(std::mt19937& random) {
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  auto t = [&] { return "$t" + std::to_string(pick(8)); };
  auto offset = [&](int words) { return std::to_string(4 * pick(words)); };
  auto plain = [&]() -> std::string {
    switch (pick(7)) {
      case 0:
        return "addu " + t() + ", " + t() + ", " + t();
      case 1:
        return "xor " + t() + ", " + t() + ", " + t();
      case 2:
        return "addiu " + t() + ", " + t() + ", " + std::to_string(pick(2000) - 1000);
      case 3:
        return "sw " + t() + ", " + offset(0x2000) + "($s0)";
      case 4:
        return "ld " + t() + ", " + offset(0x1FFF) + "($s0)";
      case 5:
        return "lw " + t() + ", 0($s2)";
      default:
        return "sw " + t() + ", " + std::to_string(0x800 + 4 * pick(0x100)) + "($s1)";
    }
  };
  auto rare = [&]() -> std::string {
    switch (pick(4)) {
      case 0:
        return "lw $t0, 0($s3)";
      case 1:
        return "mtc0 " + t() + ", $9";
      case 2:
        return "mult " + t() + ", " + t();
      default:
        return "beq " + t() + ", " + t() + ", 1f\n " + plain() + "\n " + plain() + "\n1:";
    }
  };
  Program program;
  program.stop_on_unhandled = pick(2) == 0;
  program.source = "lui $s0, 0x8000\n lui $s1, 0xA400\n lui $s2, 0xB000\n lui $s3, 0x0500\n" +
                   ("addiu $s4, $zero, " + std::to_string(3 + pick(6))) + "\nloop:\n";
  const int length = 6 + pick(12);
  for (int i = 0; i < length; ++i) {
    program.source += ' ';
    program.source += pick(4) ? plain() : rare();
    program.source += '\n';
  }
  program.source += " addiu $s4, $s4, -1\n bne $s4, $zero, loop\n " + plain() +
                    "\n lui $k0, 0x0400\n ori $k0, $k0, 0xB0\n jr $k0\n nop\n";
  program.breakpoints = {0x04000054u + 4 * static_cast<uint32_t>(pick(length))};
  return program;
}

// Instructions that store `handler` at the exception vector, word by word, with $s0 at KSEG0.
std::string copying_to_the_vector(const std::vector<uint32_t>& handler) {
  std::string source = "lui $s0, 0x8000\n";
  for (std::size_t i = 0; i < handler.size(); ++i) {
    source += "lui $t9, " + std::to_string(handler[i] >> 16) + "\n ori $t9, $t9, " +
              std::to_string(handler[i] & 0xFFFF) + "\n sw $t9, " + std::to_string(0x180 + 4 * i) +
              "($s0)\n";
  }
  return source;
}

// The complete model with the timer's interrupt every 13 counts: the program copies its handler to
// the exception vector, sets Compare and turns the interrupt on, then loops.
Program timer_program() {
  const std::vector<uint32_t> handler = assemble(R"(
      mfc0 $k0, $9
      addiu $k0, $k0, 13
      mtc0 $k0, $11
      addiu $v1, $v1, 1
      eret
  )");
  std::string source = copying_to_the_vector(handler);
  source += R"(
      addiu $t0, $zero, 40
      mtc0 $t0, $11
      ori $t1, $zero, 0x8001   # IE and IM7, the timer's
      mtc0 $t1, $12
  loop:
      addiu $t2, $t2, 1
      b loop
      addiu $t3, $t3, 1
  )";
  return Program{source, true, {}, CpuModel::r4300i};
}

enum class Budget { ample, tight };

// Runs a program forward with the history recording, goes back to every count it passed and
// checks the state against a plain run of the exact path to that count.
class HistoryReplay : public CoreTest,
                      public testing::WithParamInterface<std::tuple<Engine, Budget>> {
 protected:
  static constexpr uint64_t kLength = 160;  // instructions run forward
  // Between snapshots, so that there are many, whatever the clock says.
  static constexpr uint64_t kInterval = 9;

  void boot(const Program& program) {
    reset_all_state();
    set_host(&recorder);
    choose_cpu_model(program.model);
    choose_hardware(program.hardware);
    RomImage image;
    image.boot_code = to_bytes(assemble(program.source));
    for (int i = 0; i < 0x400; ++i) image.cartridge.push_back(static_cast<uint8_t>(i * 7 + 3));
    ASSERT_EQ(load_rom(dir.write("program.z64", image.native()).c_str()), 1);
    // The complete model's programs clear ERL, which leaves KUSEG mapped: they run through KSEG1.
    if (program.model == CpuModel::r4300i) cpu.pc |= kKseg1First;
    shared.stop_on_unhandled = program.stop_on_unhandled ? 1 : 0;
    shared.engine = std::get<Engine>(GetParam());
  }

  // The state after every count of instructions, one single step at a time.
  std::vector<MachineView> expected_views(const Program& program) {
    boot(program);
    std::vector<MachineView> views{MachineView::take()};
    while (views.size() <= kLength) {
      execution.step();
      views.push_back(MachineView::take());
    }
    return views;
  }

  // Forward as a debugger goes: runs that stop wherever they stop, started again, and steps.
  void forward_to(uint64_t target, std::mt19937& random) {
    while (history.position() < target) {
      if (random() % 4 == 0) {
        execution.step();
        continue;
      }
      InstructionLimit limit(std::min<uint64_t>(target - history.position(), 1 + random() % 50));
      shared.running = 1;
      execution.start(&limit);
      execution.wait_for_run_end();
    }
  }

  uint64_t budget() const {
    // The tight budget keeps the oldest snapshot and a few pages more.
    return std::get<Budget>(GetParam()) == Budget::ample ? History::kDefaultBudget
                                                         : History::smallest_budget() + 3 * 4200;
  }

  void expect_view(const MachineView& expected, const std::string& where) {
    std::string difference = MachineView::take().difference(expected);
    EXPECT_EQ(difference, "") << where;
    EXPECT_LE(history.bytes_used(), budget()) << where;
  }

  void check(const Program& program, std::mt19937& random);

  TempDir dir;
};

void HistoryReplay::check(const Program& program, std::mt19937& random) {
  const std::vector<MachineView> views = expected_views(program);
  // Where a forward run would stop: before a user breakpoint or on a stop address.
  auto stops_at = [&](uint64_t count) {
    const CpuState& state = views[count].cpu;
    const uint32_t next = state.delay_slot_pending ? state.delay_slot_pc : state.pc;
    return state.pc == kStopAddress || state.pc == kBreakpointAddress ||
           std::find(program.breakpoints.begin(), program.breakpoints.end(), next) !=
               program.breakpoints.end();
  };

  boot(program);
  for (uint32_t address : program.breakpoints) user_breakpoints.insert(address);
  ASSERT_TRUE(history.start(budget(), kInterval, std::chrono::milliseconds(0)));
  forward_to(kLength, random);
  ASSERT_EQ(history.position(), kLength);
  expect_view(views[kLength], "forward");
  recorder.clear();

  for (uint64_t count = kLength; count-- > history.first_position();) {
    ASSERT_EQ(history.step_back(), ReverseEnd::arrived);
    ASSERT_EQ(history.position(), count);
    expect_view(views[count], "back at " + std::to_string(count));
    if (HasFailure()) return;
  }
  const uint64_t first = history.first_position();
  EXPECT_EQ(history.step_back(), ReverseEnd::at_start);
  expect_view(views[first], "the start, stepped back from");
  EXPECT_TRUE(recorder.messages().empty());  // the replays showed nothing
  if (std::get<Budget>(GetParam()) == Budget::ample) {
    EXPECT_EQ(first, 0u);
  } else {
    EXPECT_GT(first, 0u);  // the budget dropped the oldest
  }

  // Forward again runs the same instructions again.
  forward_to(kLength, random);
  expect_view(views[kLength], "forward again");
  recorder.clear();

  // Back from breakpoint to breakpoint, down to the start of history.
  for (uint64_t from = kLength;;) {
    // The budget may have dropped more of the oldest on the way forward.
    const uint64_t start = history.first_position();
    uint64_t stop = from;
    while (stop > start && !stops_at(--stop)) {
    }
    const bool found = stop < from && stops_at(stop);
    EXPECT_EQ(history.continue_back(), found ? ReverseEnd::arrived : ReverseEnd::at_start);
    ASSERT_EQ(history.position(), found ? stop : start) << "continued back from " << from;
    expect_view(views[history.position()], "continued back from " + std::to_string(from));
    if (!found) break;
    from = stop;
  }
  EXPECT_EQ(user_breakpoints.addresses(), program.breakpoints);
  EXPECT_TRUE(recorder.messages().empty());

  // What the debugger writes halfway starts a new timeline: going back there finds it. Going on
  // from before it, by steps, a replay or runs, runs the program's own timeline again and leaves
  // that one behind. (A tight budget would not keep halfway for long.)
  if (std::get<Budget>(GetParam()) == Budget::tight) return;
  const uint64_t halfway = (first + kLength) / 2;
  for (std::string_view onward : {"steps", "replay", "runs"}) {
    SCOPED_TRACE(std::string(onward));
    ASSERT_EQ(history.go_to(halfway), ReverseEnd::arrived);
    write_register({RegisterFile::gpr, 9}, 0x5EED);
    poke(0x80000100, 0xA5);
    const MachineView written = MachineView::take();
    forward_to(halfway + 2 * kInterval + 3, random);
    ASSERT_EQ(history.go_to(halfway), ReverseEnd::arrived);
    expect_view(written, "back at the write");
    ASSERT_EQ(history.go_to(halfway - 1), ReverseEnd::arrived);
    if (onward == "steps") {
      for (int i = 0; i < 4; ++i) execution.step();
    } else if (onward == "replay") {
      ASSERT_EQ(history.go_to(halfway + 4), ReverseEnd::arrived);
    } else {
      forward_to(kLength, random);
      expect_view(views[kLength], "forward from before the write");
    }
    ASSERT_EQ(history.go_to(halfway + 1), ReverseEnd::arrived);
    expect_view(views[halfway + 1], "back past the write");
  }
}

// The console machine: PI DMAs from the cartridge, quick with the domain's timing set to the
// least, each ending in the PI interrupt, whose handler lowers it and starts the next.
Program console_dma_program() {
  const std::vector<uint32_t> handler = assemble(R"(
      lui $k0, 0xA460
      ori $k1, $zero, 2
      sw $k1, 0x10($k0)        # PI_STATUS: the interrupt lowered
      addiu $v1, $v1, 1
      sw $t6, 0xC($k0)         # PI_WR_LEN: the next DMA
      eret
  )");
  std::string source = copying_to_the_vector(handler);
  source += R"(
      lui $t0, 0xA460
      sw $zero, 0x14($t0)       # PI_BSD_DOM1_LAT
      sw $zero, 0x18($t0)       # PI_BSD_DOM1_PWD
      sw $zero, 0x20($t0)       # PI_BSD_DOM1_RLS
      lui $t1, 0x0010
      sw $t1, 0($t0)            # PI_DRAM_ADDR
      lui $t2, 0x1000
      ori $t2, $t2, 0x1000
      sw $t2, 4($t0)            # PI_CART_ADDR
      lui $t3, 0xA430
      ori $t4, $zero, 0x0200
      sw $t4, 0xC($t3)          # MI_MASK: PI
      ori $t5, $zero, 0x0401
      mtc0 $t5, $12             # Status: IM2, IE
      ori $t6, $zero, 7
      sw $t6, 0xC($t0)          # PI_WR_LEN: 8 bytes
      lui $s1, 0x8010
  loop:
      lw $t7, 0($s1)
      b loop
      addiu $t8, $t8, 1
  )";
  Program program{source, true, {}, CpuModel::r4300i, Hardware::console};
  return program;
}

TEST_P(HistoryReplay, EveryCountOfDirectedAndRandomPrograms) {
  std::mt19937 random(20270117);
  {
    SCOPED_TRACE("directed");
    check(Program{kDirected, true, {0x04000070, 0x04000078}}, random);
  }
  {
    // The timer's interrupts land where single steps take them, in every replay and on every
    // engine.
    SCOPED_TRACE("timer");
    check(timer_program(), random);
    ASSERT_EQ(history.go_to(kLength), ReverseEnd::arrived);
    EXPECT_GE(cpu.gpr[3], 8u);  // $v1: the interrupts taken
  }
  {
    // DMAs and their interrupts land where single steps take them too.
    SCOPED_TRACE("console DMA");
    check(console_dma_program(), random);
    ASSERT_EQ(history.go_to(kLength), ReverseEnd::arrived);
    EXPECT_GE(cpu.gpr[3], 2u);  // $v1: the DMAs ended
  }
  for (int round = 0; round < 6 && !HasFailure(); ++round) {
    SCOPED_TRACE("random program " + std::to_string(round));
    check(random_program(random), random);
  }
}

INSTANTIATE_TEST_SUITE_P(EnginesAndBudgets, HistoryReplay,
                         testing::Combine(testing::Values(Engine::exact, Engine::decoded,
                                                          Engine::jit),
                                          testing::Values(Budget::ample, Budget::tight)),
                         [](const testing::TestParamInfo<HistoryReplay::ParamType>& param) {
                           return engine_test_name(std::get<Engine>(param.param)) +
                                  (std::get<Budget>(param.param) == Budget::ample ? "_AmpleBudget"
                                                                                  : "_TightBudget");
                         });

}  // namespace

class HistoryLimits : public CoreTest {
 protected:
  TempDir dir;
};

TEST_F(HistoryLimits, ABudgetBelowOneSnapshotIsRefusedAndALongReplayCanBeGivenUp) {
  // Rounds of three million instructions, each ending on the stop address: going back replays
  // them as many runs, and whether to go on is asked between any two, whatever the engine's speed.
  RomImage image;
  image.boot_code = to_bytes(assemble(R"(
      lui $t2, 0x10
  inner:
      addiu $t0, $t0, 1
      bne $t0, $t2, inner
      addiu $t1, $t1, 1
      or $t0, $zero, $zero
      .word 0x0900002A      # j 0x040000A8, where the run stops
      .org 0x68
      .word 0x09000010      # j 0x04000040
  )"));
  ASSERT_EQ(load_rom(dir.write("rounds.z64", image.native()).c_str()), 1);
  EXPECT_FALSE(history.start(History::smallest_budget() - 1));
  EXPECT_FALSE(history.recording());
  EXPECT_EQ(history.first_position(), 0u);

  // The smallest budget keeps the newest snapshot alone, here the first.
  ASSERT_TRUE(
      history.start(History::smallest_budget(), uint64_t{1} << 30, std::chrono::milliseconds(0)));
  constexpr uint64_t kForward = 30'000'000;
  while (history.position() < kForward) {
    InstructionLimit limit(kForward - history.position());
    shared.running = 1;
    execution.start(&limit);
    execution.wait_for_run_end();
  }
  ASSERT_EQ(history.position(), kForward);

  int asked = 0;
  EXPECT_EQ(history.step_back([&] { return ++asked < 2; }), ReverseEnd::interrupted);
  const uint64_t stopped = history.position();
  EXPECT_LT(stopped, kForward - 1);
  // At an instruction boundary outside a delay slot, with everything in step: the same state as
  // a replay that arrives there.
  EXPECT_EQ(cpu.delay_slot_pending, 0);
  EXPECT_EQ(cpu.cp0[kCountRegister], 1 + stopped);
  const CpuState given_up = cpu;
  // Where starting a thread is slow (Wine), the replay can be given up before its first
  // instruction: then there is nothing before it to step back to.
  if (stopped == history.first_position()) {
    EXPECT_EQ(history.step_back(), ReverseEnd::at_start);
    return;
  }
  EXPECT_EQ(history.step_back(), ReverseEnd::arrived);
  EXPECT_EQ(history.position(), stopped - 1);
  EXPECT_EQ(history.go_to(stopped), ReverseEnd::arrived);
  FirstDifference difference;
  difference.compare(given_up, cpu);
  EXPECT_EQ(difference.text(), "");
  EXPECT_LE(history.bytes_used(), History::smallest_budget());
}

TEST_F(HistoryLimits, AReplayGivenUpJustAsItArrivesHasArrived) {
  RomImage image;
  image.boot_code = to_bytes(assemble(R"(
  loop:
      addiu $t0, $t0, 1
      beq $zero, $zero, loop
      nop
  )"));
  ASSERT_EQ(load_rom(dir.write("loop.z64", image.native()).c_str()), 1);
  // One snapshot, at the start, and a breakpoint that is never reached: going back is one run
  // that takes every instruction one at a time, on any engine.
  ASSERT_TRUE(
      history.start(History::smallest_budget(), uint64_t{1} << 40, std::chrono::milliseconds(0)));
  user_breakpoints.insert(0x04000100);
  constexpr uint64_t kForward = 3'000'000;
  InstructionLimit limit(kForward);
  shared.running = 1;
  execution.start(&limit);
  execution.wait_for_run_end();
  ASSERT_EQ(history.position(), kForward);

  // Asked while the run goes on, the answer comes only once the run has reached its end.
  int asked = 0;
  EXPECT_EQ(history.continue_back([&] {
    ++asked;
    execution.wait_for_run_end();
    return false;
  }),
            ReverseEnd::at_start);
  EXPECT_GE(asked, 1);
  EXPECT_EQ(history.position(), 0u);
}

namespace {

// Reads controller 1 through the PIF over and over, adding up what it answers in $s1.
constexpr const char* kReadsTheController = R"(
      lui $a0, 0xA480           # SI
      lui $s2, 0xA000
      ori $t0, $zero, 0x100
      sw $t0, 0($a0)            # SI_DRAM_ADDR: the block
      lui $t1, 0x1FC0
      ori $t1, $t1, 0x7C0
      sw $t1, 0x10($a0)         # PIF_AD_WR64B
  written:
      lw $t2, 0x18($a0)
      andi $t2, $t2, 1
      bne $t2, $zero, written
      nop
  again:
      ori $t0, $zero, 0x200
      sw $t0, 0($a0)
      sw $t1, 4($a0)            # PIF_AD_RD64B: the answer at 0x200
  read:
      lw $t2, 0x18($a0)
      andi $t2, $t2, 1
      bne $t2, $zero, read
      nop
      lw $t3, 0x204($s2)        # the buttons' second byte and the stick
      addu $s1, $s1, $t3
      b again
      nop
)";

TEST_F(HistoryLimits, ReplaysSeeTheControllerAsTheRunsSawIt) {
  choose_hardware(Hardware::console);
  RomImage image;
  image.boot_code = to_bytes(assemble(kReadsTheController));
  ASSERT_EQ(load_rom(dir.write("controller.z64", image.native()).c_str()), 1);
  const uint8_t block[] = {0x01, 0x04, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE};
  std::copy(std::begin(block), std::end(block), memory.rdram + 0x100);
  memory.rdram[0x100 + 63] = 0x01;
  ASSERT_TRUE(
      history.start(History::kDefaultBudget, uint64_t{1} << 40, std::chrono::milliseconds(0)));

  // Three runs, each with other buttons held; the state in the middle one and at the end kept.
  auto run_to = [](uint64_t position) {
    InstructionLimit limit(position - history.position());
    shared.running = 1;
    execution.start(&limit);
    execution.wait_for_run_end();
  };
  run_to(20'000);
  screen_feed.hold({0x0001, 5, -7});
  run_to(50'000);
  const CpuState middle = cpu;
  run_to(60'000);
  screen_feed.hold({0x0100, 0, 0});
  run_to(90'000);
  const CpuState end = cpu;
  ASSERT_NE(end.gpr[17], 0u);

  EXPECT_EQ(history.go_to(50'000), ReverseEnd::arrived);
  FirstDifference back;
  back.compare(middle, cpu);
  EXPECT_EQ(back.text(), "");
  EXPECT_EQ(history.go_to(90'000), ReverseEnd::arrived);
  FirstDifference forward;
  forward.compare(end, cpu);
  EXPECT_EQ(forward.text(), "");
}

}  // namespace

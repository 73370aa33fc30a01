#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "cpu/cpu_state.h"
#include "cpu/instr_fields.h"
#include "machine/machine_state.h"
#include "tests/cpu/interpreter_fixture.h"
#include "tests/support/cpu_runner.h"

namespace {

// Random words on random state: whatever the word, the interpreter stays inside the state the word
// may touch, and pc moves only by the rules: it stays, advances by 4, jumps or branches.
class RandomWords : public InterpreterTest {
 protected:
  std::mt19937_64 rng{0x4B6F7276656C};

  uint64_t random() { return rng(); }

  // Half the time an address that lands in RDRAM, through any segment, under any high half.
  uint64_t random_register() {
    if (random() & 1) return random();
    static constexpr uint32_t segments[] = {0x00000000, 0x80000000, 0xA0000000};
    uint32_t low = segments[random() % 3] + static_cast<uint32_t>(random() % 0x400000);
    return (random() & 0xFFFFFFFF00000000u) | low;
  }

  double random_double() {
    if (random() & 1) return std::bit_cast<double>(random());  // NaNs, infinities, huge values
    return static_cast<double>(static_cast<int64_t>(random())) / static_cast<double>(random() | 1);
  }

  // A quarter any word, a quarter SPECIAL, a quarter COP1's conversion, a quarter COP0.
  uint32_t random_word() {
    uint32_t word = static_cast<uint32_t>(random());
    switch (random() % 4) {
      case 1:
        return word & 0x03FFFFFF;
      case 2: {
        static constexpr uint32_t formats[] = {16, 20, 17};
        return 17u << 26 | formats[random() % 3] << 21 | (word & 0x001FFFC0) | 5;
      }
      case 3:
        return 16u << 26 | (word & 0x03FFFFFF);
      default:
        return word;
    }
  }

  void randomize(InstrFields f) {
    for (int i = 0; i < 32; i += 8) cpu.gpr[random() % 32] = random_register();
    cpu.gpr[f.rs()] = random_register();
    cpu.gpr[f.rt()] = random_register();
    cpu.fpr[f.rd()] = random_double();
    cpu.hi_reg = random();
    cpu.lo_reg = random();
    cpu.pc = static_cast<uint32_t>(random());
    cpu.delay_slot_pending = 0;
    cpu.delay_slot_pc = static_cast<uint32_t>(random());
    cpu.cp0[kCountRegister] = random();
    shared.running = 1;
    shared.stop_on_unhandled = static_cast<int32_t>(random() & 1);
    cpu.opcode_name.set("Reading");
    recorder.clear();
  }
};

bool is_jump(InstrFields f) {
  return f.op() == 2 || f.op() == 3 || (f.op() == 0 && f.funct() == 8);
}
bool is_branch(InstrFields f) {
  return f.op() == 4 || f.op() == 5;
}

// The one general-purpose register an encoding may write, or -1.
int writable_gpr(InstrFields f) {
  switch (f.op()) {
    case 0:
      return f.rd();
    case 3:
      return 31;
    case 8:
    case 9:
    case 12:
    case 13:
    case 15:
    case 32:
    case 35:
    case 36:
    case 55:
      return f.rt();
    default:
      return -1;
  }
}

bool pc_follows_the_rules(InstrFields f, const CpuState& before, uint32_t pc) {
  if (pc == before.pc || pc == before.pc + 4) return true;
  if ((f.op() == 2 || f.op() == 3) && pc == f.target() << 2) return true;
  if (f.op() == 0 && f.funct() == 8 && pc == static_cast<uint32_t>(before.gpr[f.rs()])) return true;
  return is_branch(f) && pc == before.pc + static_cast<uint32_t>(static_cast<int16_t>(f.imm()) * 4);
}

// `after` with every change the encoding is allowed to make put back as it was `before`.
CpuState without_allowed_changes(InstrFields f, const CpuState& before, CpuState after) {
  if (int r = writable_gpr(f); r >= 0) after.gpr[r] = before.gpr[r];
  if (f.op() == 0 && (f.funct() == 17 || f.funct() == 30)) after.hi_reg = before.hi_reg;
  if (f.op() == 0 && (f.funct() == 19 || f.funct() == 30)) after.lo_reg = before.lo_reg;
  if (f.op() == 16 && f.rs() == 4) after.cp0[f.rd()] = before.cp0[f.rd()];
  if (f.op() == 17) after.fpr[f.sa()] = before.fpr[f.sa()];
  after.pc = before.pc;
  if (is_branch(f)) {
    after.delay_slot_pending = before.delay_slot_pending;
    after.delay_slot_pc = before.delay_slot_pc;
  }
  return after;
}

TEST_F(RandomWords, StayInsideTheirStateAndMovePcOnlyByTheRules) {
  int not_carried_out = 0, stayed = 0, advanced = 0, jumped = 0, branched = 0, messages = 0;
  for (int i = 0; i < 200000; ++i) {
    uint32_t word = random_word();
    InstrFields f = decode_instruction(word);
    randomize(f);
    CpuState before = cpu;
    before.gpr[0] = 0;  // as every call begins
    before.current_instruction = word;

    int32_t result = execute_word(word);

    SCOPED_TRACE(testing::Message() << "word " << std::hex << word << " pc " << before.pc);
    ASSERT_TRUE(result == 0 || result == -1);
    ASSERT_TRUE(pc_follows_the_rules(f, before, cpu.pc)) << "pc " << cpu.pc;
    ASSERT_TRUE(same_state(before, without_allowed_changes(f, before, cpu)));
    if (cpu.delay_slot_pending) {
      ASSERT_EQ(cpu.delay_slot_pc, before.pc + 4);
      ASSERT_EQ(cpu.pc, before.pc + static_cast<uint32_t>(static_cast<int16_t>(f.imm()) * 4));
    }
    if (result == -1) {
      // Nothing but pc and the name.
      CpuState expected = before;
      expected.pc = cpu.pc;
      ASSERT_TRUE(same_state(expected, cpu));
      ASSERT_STRNE(cpu.opcode_name.c_str(), "Reading");
      ++not_carried_out;
    } else if (cpu.pc == before.pc && !is_jump(f) && !is_branch(f)) {
      // An encoding that does not advance changes nothing at all.
      ASSERT_TRUE(same_state(before, cpu));
      ++stayed;
    }
    std::vector<RecordingHost::Message> shown = recorder.messages();
    ASSERT_TRUE(shared.running == 1 || !shown.empty());  // only a reported failure stops the run
    for (const RecordingHost::Message& m : shown) {
      ASSERT_TRUE(m.caption == "Memory Error: Read" || m.caption == "Memory Error: Write" ||
                  (m.caption == "Unknown Opcode" && result == -1));
      ++messages;
    }
    advanced += cpu.pc == before.pc + 4;
    jumped += is_jump(f);
    branched += cpu.delay_slot_pending;
  }
  // Every outcome was met often enough for the checks above to have meant something.
  EXPECT_GT(not_carried_out, 1000);
  EXPECT_GT(stayed, 1000);
  EXPECT_GT(advanced, 10000);
  EXPECT_GT(jumped, 1000);
  EXPECT_GT(branched, 100);
  EXPECT_GT(messages, 100);
}

}  // namespace

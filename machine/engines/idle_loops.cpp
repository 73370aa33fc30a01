#include "machine/engines/idle_loops.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "cpu/alu.h"
#include "cpu/instr_fields.h"
#include "cpu/r4300i/address_translation.h"
#include "cpu/scheduler.h"
#include "machine/stops/stops.h"
#include "machine/stops/user_breakpoints.h"
#include "machine/stops/watchpoints.h"
#include "memory/device.h"
#include "memory/memory_map.h"

namespace {

// What one instruction of a loop may be, and the registers it reads and writes (a bit each).
enum class Kind : uint8_t { other, compute, load, branch, jump };
struct Effects {
  Kind kind = Kind::other;
  uint32_t reads = 0;
  uint32_t writes = 0;
};

// A set of 6-bit opcodes or function codes.
constexpr uint64_t codes(std::initializer_list<unsigned> list) {
  uint64_t set = 0;
  for (unsigned code : list) set |= uint64_t{1} << code;
  return set;
}
constexpr bool in(uint64_t set, unsigned code) {
  return (set >> code) & 1;
}

// SPECIAL's: the shifts by a constant (SLL .. DSRA32), which read rt; the shifts by a register
// and the arithmetic and logic without traps (SLLV .. DSRAV, ADDU .. NOR, SLT, SLTU, DADDU,
// DSUBU), which read rs and rt; MFHI and MFLO, which read what no instruction of a loop writes.
constexpr uint64_t kShifts = codes({0x00, 0x02, 0x03, 0x38, 0x3A, 0x3B, 0x3C, 0x3E, 0x3F});
constexpr uint64_t kTwoRegisters = codes({0x04, 0x06, 0x07, 0x14, 0x16, 0x17, 0x21, 0x23, 0x24,
                                          0x25, 0x26, 0x27, 0x2A, 0x2B, 0x2D, 0x2F});
constexpr uint64_t kFromHiLo = codes({0x10, 0x12});
// The primary opcodes: immediates without traps (ADDIU .. XORI, DADDIU), loads that replace their
// whole target (LB, LH, LW, LBU, LHU, LWU, LD), branches on two registers and on one (likely
// too; REGIMM's, without a link, apart).
constexpr uint64_t kImmediates = codes({0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x19});
constexpr uint64_t kLoads = codes({0x20, 0x21, 0x23, 0x24, 0x25, 0x27, 0x37});
constexpr uint64_t kBranchesOnTwo = codes({0x04, 0x05, 0x14, 0x15});
constexpr uint64_t kBranchesOnOne = codes({0x06, 0x07, 0x16, 0x17});
constexpr unsigned kSpecial = 0x00, kRegimm = 0x01, kJump = 0x02, kLui = 0x0F, kSync = 0x0F;
constexpr unsigned kCop0 = 0x10, kMoveFrom = 0x00, kCause = 13;

// The instructions a waiting loop may hold: those whose only effect is on general registers they
// name (no HI or LO, no coprocessor, no trap), loads, and the branches and jump without a link;
// and MFC0 of Cause, whose interrupt lines change only at the machine's events and its other
// fields only at an exception, which ends a skip (the loop runs in kernel mode, where MFC0 raises
// nothing). Anything else may change what the next time round sees.
Effects effects_of(InstrFields word) {
  const uint32_t rs = 1u << word.rs(), rt = 1u << word.rt(), rd = 1u << word.rd();
  const unsigned op = word.op();
  if (op == kSpecial) {
    const unsigned funct = word.funct();
    if (in(kShifts, funct)) return {Kind::compute, rt, rd};
    if (in(kTwoRegisters, funct)) return {Kind::compute, rs | rt, rd};
    if (in(kFromHiLo, funct)) return {Kind::compute, 0, rd};
    if (funct == kSync) return {Kind::compute, 0, 0};
    return {};
  }
  if (op == kRegimm) return word.rt() <= 3 ? Effects{Kind::branch, rs, 0} : Effects{};
  if (op == kJump) return {Kind::jump, 0, 0};
  if (op == kLui) return {Kind::compute, 0, rt};
  if (op == kCop0 && word.rs() == kMoveFrom && word.rd() == kCause) return {Kind::compute, 0, rt};
  if (in(kImmediates, op)) return {Kind::compute, rs, rt};
  if (in(kLoads, op)) return {Kind::load, rs, rt};
  if (in(kBranchesOnTwo, op)) return {Kind::branch, rs | rt, 0};
  if (in(kBranchesOnOne, op)) return {Kind::branch, rs, 0};
  return {};
}

uint32_t load_bytes(InstrFields word) {
  if (word.op() == 0x20 || word.op() == 0x24) return 1;  // LB LBU
  if (word.op() == 0x21 || word.op() == 0x25) return 2;  // LH LHU
  return word.op() == 0x37 ? 8 : 4;                      // LD; the words
}

// The word at `address` as the processor would fetch it in kernel mode, from RDRAM or the signal
// processor's memories, without side effects; none elsewhere.
bool code_word(uint32_t address, uint32_t& word) {
  if (!r4300i::in_fixed_segment(address) || (address & 3) != 0) return false;
  const uint32_t physical = address & (kSegmentBytes - 1);
  const int page = code_page_index(physical);
  if (page < 0) return false;
  std::memcpy(&word, code_page_storage(page) + (physical & 0xFFF), sizeof word);
  word = __builtin_bswap32(word);
  return true;
}

uint32_t branch_target(InstrFields word, uint32_t address) {
  if (word.op() == kJump) return ((address + 4) & 0xF0000000) | (word.target() << 2);
  return address + 4 + static_cast<uint32_t>(alu::sign_extend_16(word.imm()) << 2);
}

}  // namespace

IdleLoops::Shape IdleLoops::analyse(uint32_t head) {
  Shape shape;
  shape.head = head;
  Effects effects[kLongest];
  uint32_t length = 0;
  for (uint32_t n = 0; n < kLongest && length == 0; ++n) {
    uint32_t& word = shape.words[n];
    if (!code_word(head + 4 * n, word)) return shape;
    effects[n] = effects_of({word});
    const Kind kind = effects[n].kind;
    if (kind == Kind::other) return shape;
    if (kind != Kind::branch && kind != Kind::jump) continue;
    // The branch back, and its delay slot, end the loop.
    if (n + 1 == kLongest || branch_target({word}, head + 4 * n) != head) return shape;
    if (!code_word(head + 4 * (n + 1), shape.words[n + 1])) return shape;
    effects[n + 1] = effects_of({shape.words[n + 1]});
    if (effects[n + 1].kind != Kind::compute && effects[n + 1].kind != Kind::load) return shape;
    length = n + 2;
  }
  if (length == 0) return shape;
  uint32_t written = 0;
  for (uint32_t n = 0; n < length; ++n) written |= effects[n].writes;
  written &= ~1u;  // $zero stays zero
  uint32_t written_before = 0;
  uint8_t loads = 0;
  for (uint32_t n = 0; n < length; ++n) {
    // Read before this time round writes it: carried over from the last.
    if (effects[n].reads & written & ~written_before) return shape;
    if (effects[n].kind == Kind::load) {
      // Its address must be the same every time round, and known before the loop runs.
      if (effects[n].reads & written) return shape;
      loads |= static_cast<uint8_t>(1u << n);
    }
    written_before |= effects[n].writes;
  }
  shape.length = static_cast<uint8_t>(length);
  shape.loads = loads;
  return shape;
}

uint64_t IdleLoops::reads_steady_until(const Shape& shape) const {
  if (!r4300i::kernel_mode()) return 0;
  uint64_t until = Device::kSteadyForGood;
  for (uint32_t n = 0; n < shape.length; ++n) {
    if (!(shape.loads & (1u << n))) continue;
    const InstrFields word{shape.words[n]};
    const uint64_t address = cpu.gpr[word.rs()] + alu::sign_extend_16(word.imm());
    if (!r4300i::in_fixed_segment_64(address)) return 0;
    const uint32_t physical = static_cast<uint32_t>(address) & (kSegmentBytes - 1);
    until = std::min(until, ::reads_steady_until(physical, load_bytes(word)));
  }
  return until;
}

bool IdleLoops::unchanged(const Shape& shape) {
  for (uint32_t n = 0; n < shape.length; ++n) {
    uint32_t word;
    if (!code_word(shape.head + 4 * n, word) || word != shape.words[n]) return false;
  }
  return true;
}

bool IdleLoops::stops_in(const Shape& shape) const {
  for (uint32_t n = 0; n < shape.length; ++n) {
    const uint32_t address = shape.head + 4 * n;
    if (may_stop_at(address) || user_breakpoints.contains(address)) return true;
  }
  return false;
}

EngineRun IdleLoops::run(uint32_t budget, RunObserver* observer) {
  if (!bus.console || cpu.delay_slot_pending) return {};
  const Shape& shape = shape_at(cpu.pc, true);
  const uint32_t length = shape.length;
  if (length == 0) return {};
  const uint64_t allowed =
      std::min<uint64_t>(budget, observer ? observer->unseen_allowed() : UINT64_MAX);
  // The loads read what they read now until `steady_until`, and every round skipped must be over
  // by then: a loop that polls a counter (VI_V_CURRENT) is skipped up to its next change.
  const uint64_t steady_until = reads_steady_until(shape);
  if (allowed < 2 * length || steady_until < scheduler.now + 2 * length || stops_in(shape)) {
    return {};
  }
  // The first time round shows that the branch goes back and that nothing (an interrupt, an
  // event, a watched byte, a fault) comes between.
  const uint32_t head = shape.head;
  const EngineRun first = exact_.run(length, observer);
  if (first.instructions != length || first.not_carried_out || cpu.pc != head ||
      cpu.delay_slot_pending || watchpoints.hit_pending() || scheduler.now >= scheduler.next) {
    return first;
  }
  const uint64_t rounds =
      std::min({scheduler.until_next(), allowed - length, steady_until - scheduler.now}) / length;
  advance_clock(rounds * length);
  return {static_cast<uint32_t>(length + rounds * length), false};
}

bool IdleLoops::code_written(uint32_t) {
  return false;
}

void IdleLoops::forget_all() {
  shapes_.fill(Shape{});
}

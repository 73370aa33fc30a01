#include "debugger/disassembler.h"

#include "cpu/instr_fields.h"
#include "cpu/opcode_map.h"

namespace {

constexpr const char* kGprNames[32] = {
    "r0", "at", "v0", "v1", "a0", "a1", "a2", "a3", "t0", "t1", "t2", "t3", "t4", "t5", "t6", "t7",
    "s0", "s1", "s2", "s3", "s4", "s5", "s6", "s7", "t8", "t9", "k0", "k1", "gp", "sp", "s8", "ra",
};

constexpr const char* kCp0Names[32] = {
    "Index",    "Random", "EntryLo0", "EntryLo1", "Context",  "PageMask", "Wired",    "r7",
    "BadVAddr", "Count",  "EntryHi",  "Compare",  "Status",   "Cause",    "EPC",      "PRevID",
    "Config",   "LLAddr", "WatchLo",  "WatchHi",  "XContext", "r21",      "r22",      "r23",
    "r24",      "r25",    "PErr",     "CacheErr", "TagLo",    "TagHi",    "ErrorEPC", "r31",
};

const char* lookup(const char* const (&names)[32], unsigned n) {
  return n < 32 ? names[n] : "Unknown";
}

// The coprocessor-0 group's `rs` that moves a general register into a coprocessor register.
constexpr uint8_t kMoveToCoprocessor = 4;

// The decoded fields carry no break code, so BREAK always shows code 0.
constexpr unsigned kBreakCode = 0;

// The delay-slot address plus the word offset, as the interpreter branches; the sum wraps at 32
// bits.
uint32_t branch_target(InstrFields f, uint32_t address) {
  int32_t offset = static_cast<int16_t>(f.imm());
  return address + 4 + static_cast<uint32_t>(offset) * 4;
}

void compose_fallback(DisasmText& text, InstrFields f) {
  if (f.op() == kSpecialOpcode) {
    text.format("Op: %X Funct: %X", f.op(), f.funct());
  } else {
    text.format("Unknown 1:%X", f.op());
  }
}

}  // namespace

const char* gpr_name(unsigned n) {
  return lookup(kGprNames, n);
}
const char* cp0_name(unsigned n) {
  return lookup(kCp0Names, n);
}

DisasmText disassemble(uint32_t word, uint32_t address) {
  InstrFields f = decode_instruction(word);
  DisasmText text;
  const OpcodeEntry& entry = opcode_entry(f);
  const char* name = entry.name;
  const char* rs = gpr_name(f.rs());
  const char* rt = gpr_name(f.rt());
  switch (entry.form) {
    case DisasmForm::none:
      compose_fallback(text, f);
      break;
    case DisasmForm::constant:
      text.set(name);
      break;
    case DisasmForm::nop_or_sll:
      text.set(f.sa() == 0 ? "NOP" : name);
      break;
    case DisasmForm::jump_target:
      text.format("%s %X", name, f.target());
      break;
    case DisasmForm::beq_offset:
      text.format("%s %s,%s,%X", name, rs, rt, f.imm());
      break;
    case DisasmForm::bne_target:
      if (f.rt() == 0) {
        text.format("BNEZ %s,0x%X", rs, branch_target(f, address));
      } else {
        text.format("%s %s,%s,0x%X", name, rs, rt, branch_target(f, address));
      }
      break;
    case DisasmForm::rt_rs_imm_lower:
      text.format("%s %s,%s,%x", name, rt, rs, f.imm());
      break;
    case DisasmForm::rt_rs_imm_upper:
      text.format("%s %s,%s,%X", name, rt, rs, f.imm());
      break;
    case DisasmForm::lui:
      text.format("%s %s,0x%X", name, rt, f.imm());
      break;
    case DisasmForm::mtc0:
      if (f.rs() == kMoveToCoprocessor) {
        text.format("%s %s,%s", name, cp0_name(f.rd()), rt);
      } else {
        text.format("Op: %X rs: %X", f.op(), f.rs());
      }
      break;
    case DisasmForm::offset_base_upper:
      text.format("%s %s,%X(%s)", name, rt, f.imm(), rs);
      break;
    case DisasmForm::offset_base_lower:
      text.format("%s %s,%x(%s)", name, rt, f.imm(), rs);
      break;
    case DisasmForm::offset_numbered_base:
      text.format("%s %s,%x(%x)", name, rt, f.imm(), f.rs());
      break;
    case DisasmForm::jr:
      text.format("%s %s", name, rs);
      break;
    case DisasmForm::break_code:
      text.format("%s %x", name, kBreakCode);
      break;
    case DisasmForm::rd_rs_rt:
      text.format("%s %s,%s,%s", name, gpr_name(f.rd()), rs, rt);
      break;
  }
  return text;
}

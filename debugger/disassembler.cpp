#include "debugger/disassembler.h"

#include "cpu/instr_fields.h"
#include "cpu/opcode_map.h"
#include "cpu/r4300i/interpreter.h"

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

// The decoded fields carry no break code, so BREAK always shows code 0 in the 0.2c model.
constexpr unsigned kBreakCode = 0;

// The code fields of SYSCALL, BREAK (two halves, as objdump shows them) and the traps.
uint32_t syscall_code(InstrFields f) {
  return (f.word >> 6) & 0xFFFFF;
}
uint32_t trap_code(InstrFields f) {
  return (f.word >> 6) & 0x3FF;
}
uint32_t break_high_code(InstrFields f) {
  return (f.word >> 16) & 0x3FF;
}

constexpr uint8_t kReturnAddressRegister = 31;

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

DisasmText disassemble(uint32_t word, uint32_t address, CpuModel model) {
  InstrFields f = decode_instruction(word);
  DisasmText text;
  const OpcodeEntry& entry = model == CpuModel::r4300i ? r4300i::opcode_entry(f) : opcode_entry(f);
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
    case DisasmForm::nop_or_shift:
      if (word == 0) {
        text.set("NOP");
      } else {
        text.format("%s %s,%s,%X", name, gpr_name(f.rd()), rt, f.sa());
      }
      break;
    case DisasmForm::rd_rt_sa:
      text.format("%s %s,%s,%X", name, gpr_name(f.rd()), rt, f.sa());
      break;
    case DisasmForm::rd_rt_rs:
      text.format("%s %s,%s,%s", name, gpr_name(f.rd()), rt, rs);
      break;
    case DisasmForm::rs_rt:
      text.format("%s %s,%s", name, rs, rt);
      break;
    case DisasmForm::divide:
      text.format("%s r0,%s,%s", name, rs, rt);
      break;
    case DisasmForm::rd:
      text.format("%s %s", name, gpr_name(f.rd()));
      break;
    case DisasmForm::rs:
      text.format("%s %s", name, rs);
      break;
    case DisasmForm::jalr:
      if (f.rd() == kReturnAddressRegister) {
        text.format("%s %s", name, rs);
      } else {
        text.format("%s %s,%s", name, gpr_name(f.rd()), rs);
      }
      break;
    case DisasmForm::syscall_code:
      text.set(name);
      if (syscall_code(f) != 0) text.append_format(" %X", syscall_code(f));
      break;
    case DisasmForm::break_codes:
      text.set(name);
      if (break_high_code(f) != 0 || trap_code(f) != 0)
        text.append_format(" %X", break_high_code(f));
      if (trap_code(f) != 0) text.append_format(",%X", trap_code(f));
      break;
    case DisasmForm::trap_code:
      text.format("%s %s,%s", name, rs, rt);
      if (trap_code(f) != 0) text.append_format(",%X", trap_code(f));
      break;
    case DisasmForm::rs_imm:
      text.format("%s %s,%X", name, rs, f.imm());
      break;
    case DisasmForm::rs_target:
      text.format("%s %s,0x%X", name, rs, branch_target(f, address));
      break;
    case DisasmForm::rs_rt_target:
      text.format("%s %s,%s,0x%X", name, rs, rt, branch_target(f, address));
      break;
    case DisasmForm::rt_c0:
      text.format("%s %s,%s", name, rt, cp0_name(f.rd()));
      break;
    case DisasmForm::cache:
      text.format("%s %X,%x(%s)", name, f.rt(), f.imm(), rs);
      break;
    case DisasmForm::cop_offset_base:
      // Coprocessor 1's registers are named as objdump names them, coprocessor 2's by number.
      text.format("%s %s%u,%x(%s)", name, (f.op() & 3) == 1 ? "f" : "$", f.rt(), f.imm(), rs);
      break;
    case DisasmForm::regimm_fallback:
      text.format("Op: %X rt: %X", f.op(), f.rt());
      break;
    case DisasmForm::cop0_fallback:
      text.format("Op: %X rs: %X", f.op(), f.rs());
      break;
    case DisasmForm::cop0_function_fallback:
      text.format("Op: %X Funct: %X", f.op(), f.funct());
      break;
  }
  return text;
}

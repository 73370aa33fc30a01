#include "debugger/disassembler.h"

#include <initializer_list>
#include <iterator>

#include "cpu/instr_fields.h"
#include "cpu/interpreter.h"
#include "cpu/r4300i/opcode_map.h"

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

// What a form's formatter shows of one instruction.
struct Instruction {
  InstrFields f;
  uint32_t address;  // where it stands, the base of a branch's target
  const char* name;
  const char* rs;
  const char* rt;

  const char* rd() const { return gpr_name(f.rd()); }
  // The delay-slot address plus the word offset, as the interpreter branches; the sum wraps at 32
  // bits.
  uint32_t branch_target() const {
    int32_t offset = static_cast<int16_t>(f.imm());
    return address + 4 + static_cast<uint32_t>(offset) * 4;
  }
};

using Formatter = void (*)(DisasmText& text, const Instruction& i);

struct FormRow {
  DisasmForm form;
  Formatter format;
};

// One row for each form, in the order of `DisasmForm`; the forms' own comments give their texts.
constexpr FormRow kForms[] = {
    {DisasmForm::none,
     [](DisasmText& t, const Instruction& i) {
       if (i.f.op() == kSpecialOpcode) {
         t.format("Op: %X Funct: %X", i.f.op(), i.f.funct());
       } else {
         t.format("Unknown 1:%X", i.f.op());
       }
     }},
    {DisasmForm::constant, [](DisasmText& t, const Instruction& i) { t.set(i.name); }},
    {DisasmForm::jump_target,
     [](DisasmText& t, const Instruction& i) { t.format("%s %X", i.name, i.f.target()); }},
    {DisasmForm::beq_offset,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%s,%X", i.name, i.rs, i.rt, i.f.imm());
     }},
    {DisasmForm::bne_target,
     [](DisasmText& t, const Instruction& i) {
       if (i.f.rt() == 0) {
         t.format("BNEZ %s,0x%X", i.rs, i.branch_target());
       } else {
         t.format("%s %s,%s,0x%X", i.name, i.rs, i.rt, i.branch_target());
       }
     }},
    {DisasmForm::rt_rs_imm_lower,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%s,%x", i.name, i.rt, i.rs, i.f.imm());
     }},
    {DisasmForm::rt_rs_imm_upper,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%s,%X", i.name, i.rt, i.rs, i.f.imm());
     }},
    {DisasmForm::lui,
     [](DisasmText& t, const Instruction& i) { t.format("%s %s,0x%X", i.name, i.rt, i.f.imm()); }},
    {DisasmForm::mtc0,
     [](DisasmText& t, const Instruction& i) {
       if (i.f.rs() == kMoveToCoprocessor) {
         t.format("%s %s,%s", i.name, cp0_name(i.f.rd()), i.rt);
       } else {
         t.format("Op: %X rs: %X", i.f.op(), i.f.rs());
       }
     }},
    {DisasmForm::offset_base_upper,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%X(%s)", i.name, i.rt, i.f.imm(), i.rs);
     }},
    {DisasmForm::offset_base_lower,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%x(%s)", i.name, i.rt, i.f.imm(), i.rs);
     }},
    {DisasmForm::offset_numbered_base,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%x(%x)", i.name, i.rt, i.f.imm(), i.f.rs());
     }},
    {DisasmForm::nop_or_sll,
     [](DisasmText& t, const Instruction& i) { t.set(i.f.sa() == 0 ? "NOP" : i.name); }},
    {DisasmForm::jr, [](DisasmText& t, const Instruction& i) { t.format("%s %s", i.name, i.rs); }},
    {DisasmForm::break_code,
     [](DisasmText& t, const Instruction& i) { t.format("%s %x", i.name, kBreakCode); }},
    {DisasmForm::rd_rs_rt,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%s,%s", i.name, i.rd(), i.rs, i.rt);
     }},
    {DisasmForm::nop_or_shift,
     [](DisasmText& t, const Instruction& i) {
       if (i.f.word == 0) {
         t.set("NOP");
       } else {
         t.format("%s %s,%s,%X", i.name, i.rd(), i.rt, i.f.sa());
       }
     }},
    {DisasmForm::rd_rt_sa,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%s,%X", i.name, i.rd(), i.rt, i.f.sa());
     }},
    {DisasmForm::rd_rt_rs,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%s,%s", i.name, i.rd(), i.rt, i.rs);
     }},
    {DisasmForm::rs_rt,
     [](DisasmText& t, const Instruction& i) { t.format("%s %s,%s", i.name, i.rs, i.rt); }},
    {DisasmForm::divide,
     [](DisasmText& t, const Instruction& i) { t.format("%s r0,%s,%s", i.name, i.rs, i.rt); }},
    {DisasmForm::rd,
     [](DisasmText& t, const Instruction& i) { t.format("%s %s", i.name, i.rd()); }},
    {DisasmForm::rs, [](DisasmText& t, const Instruction& i) { t.format("%s %s", i.name, i.rs); }},
    {DisasmForm::jalr,
     [](DisasmText& t, const Instruction& i) {
       if (i.f.rd() == kReturnAddressRegister) {
         t.format("%s %s", i.name, i.rs);
       } else {
         t.format("%s %s,%s", i.name, i.rd(), i.rs);
       }
     }},
    {DisasmForm::syscall_code,
     [](DisasmText& t, const Instruction& i) {
       t.set(i.name);
       if (syscall_code(i.f) != 0) t.append_format(" %X", syscall_code(i.f));
     }},
    {DisasmForm::break_codes,
     [](DisasmText& t, const Instruction& i) {
       t.set(i.name);
       if (break_high_code(i.f) != 0 || trap_code(i.f) != 0)
         t.append_format(" %X", break_high_code(i.f));
       if (trap_code(i.f) != 0) t.append_format(",%X", trap_code(i.f));
     }},
    {DisasmForm::trap_code,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%s", i.name, i.rs, i.rt);
       if (trap_code(i.f) != 0) t.append_format(",%X", trap_code(i.f));
     }},
    {DisasmForm::rs_imm,
     [](DisasmText& t, const Instruction& i) { t.format("%s %s,%X", i.name, i.rs, i.f.imm()); }},
    {DisasmForm::rs_target,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,0x%X", i.name, i.rs, i.branch_target());
     }},
    {DisasmForm::rs_rt_target,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%s,0x%X", i.name, i.rs, i.rt, i.branch_target());
     }},
    {DisasmForm::rt_c0,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s,%s", i.name, i.rt, cp0_name(i.f.rd()));
     }},
    {DisasmForm::cache,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %X,%x(%s)", i.name, i.f.rt(), i.f.imm(), i.rs);
     }},
    // Coprocessor 1's registers are named as objdump names them, coprocessor 2's by number.
    {DisasmForm::cop_offset_base,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s %s%u,%x(%s)", i.name, (i.f.op() & 3) == 1 ? "f" : "$", i.f.rt(), i.f.imm(),
                i.rs);
     }},
    {DisasmForm::regimm_fallback,
     [](DisasmText& t, const Instruction& i) { t.format("Op: %X rt: %X", i.f.op(), i.f.rt()); }},
    {DisasmForm::cop0_fallback,
     [](DisasmText& t, const Instruction& i) { t.format("Op: %X rs: %X", i.f.op(), i.f.rs()); }},
    {DisasmForm::cop0_function_fallback,
     [](DisasmText& t, const Instruction& i) {
       t.format("Op: %X Funct: %X", i.f.op(), i.f.funct());
     }},
    {DisasmForm::rt_fs,
     [](DisasmText& t, const Instruction& i) { t.format("%s %s,f%u", i.name, i.rt, i.f.rd()); }},
    {DisasmForm::rt_fcr,
     [](DisasmText& t, const Instruction& i) { t.format("%s %s,$%u", i.name, i.rt, i.f.rd()); }},
    {DisasmForm::branch_target,
     [](DisasmText& t, const Instruction& i) { t.format("%s 0x%X", i.name, i.branch_target()); }},
    {DisasmForm::fd_fs_ft,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s f%u,f%u,f%u", i.name, i.f.sa(), i.f.rd(), i.f.rt());
     }},
    {DisasmForm::fd_fs,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s f%u,f%u", i.name, i.f.sa(), i.f.rd());
     }},
    {DisasmForm::fs_ft,
     [](DisasmText& t, const Instruction& i) {
       t.format("%s f%u,f%u", i.name, i.f.rd(), i.f.rt());
     }},
};

// Each row stands at its form's index, and every form the two models' maps give has its row.
constexpr bool forms_in_order() {
  for (std::size_t n = 0; n < std::size(kForms); ++n) {
    if (static_cast<std::size_t>(kForms[n].form) != n) return false;
  }
  return true;
}
constexpr bool formats_every_entry(std::initializer_list<const OpcodeTable*> tables) {
  for (const OpcodeTable* table : tables) {
    for (const OpcodeEntry& entry : *table) {
      if (static_cast<std::size_t>(entry.form) >= std::size(kForms)) return false;
    }
  }
  return true;
}
namespace complete = r4300i::opcode_map_detail;
static_assert(
    forms_in_order() &&
        formats_every_entry({&primary_table, &special_table, &complete::primary, &complete::special,
                             &complete::regimm, &complete::cop0, &complete::cop0_function,
                             &complete::cop1, &complete::cop1_branch, &complete::cop1_single,
                             &complete::cop1_double, &complete::cop1_word, &complete::cop1_long}),
    "one formatter for each form the opcode maps give, in the order of DisasmForm");

}  // namespace

const char* gpr_name(unsigned n) {
  return lookup(kGprNames, n);
}
const char* cp0_name(unsigned n) {
  return lookup(kCp0Names, n);
}

DisasmText disassemble(uint32_t word, uint32_t address, CpuModel model) {
  const InstrFields f = decode_instruction(word);
  const OpcodeEntry& entry = opcode_entry(model, f);
  DisasmText text;
  kForms[static_cast<std::size_t>(entry.form)].format(
      text, {f, address, entry.name, gpr_name(f.rs()), gpr_name(f.rt())});
  return text;
}

#pragma once

#include <cstdint>

#include "cpu/handler_support.h"
#include "cpu/r4300i/address_translation.h"
#include "cpu/r4300i/alu.h"
#include "cpu/r4300i/handler_support.h"
#include "cpu/r4300i/tlb.h"

// Coprocessor 0 and its TLB, the coprocessors the processor lacks, traps, SYSCALL, BREAK and
// CACHE.
namespace r4300i {

// Coprocessor 0's registers that hold 64 bits; the others are 32 bits wide, and reading one
// sign-extends it.
inline bool doubleword_register(unsigned reg) {
  return reg == 4 || reg == kBadVAddr || reg == 10 || reg == kEpc || reg == 20 || reg == kErrorEpc;
}

inline int32_t cop0_unusable() {
  return raise(Exception::coprocessor_unusable, 0);
}

// MFC0 and DMFC0.
template <Width width>
int32_t exec_move_from_cop0(InstrFields f, const char*) {
  if (!cop0_usable()) return cop0_unusable();
  if (!allowed<width>()) return reserved_instruction();
  const uint64_t value = read_cop0(f.rd());
  const bool whole = width == Width::doubleword && doubleword_register(f.rd());
  return write_rt(f, whole ? value : alu::sign_extend_32(static_cast<uint32_t>(value)));
}

// MTC0 and DMTC0.
template <Width width>
int32_t exec_move_to_cop0(InstrFields f, const char*) {
  if (!cop0_usable()) return cop0_unusable();
  if (!allowed<width>()) return reserved_instruction();
  const uint64_t value = rt(f);
  write_cop0(f.rd(), width == Width::doubleword
                         ? value
                         : alu::sign_extend_32(static_cast<uint32_t>(value)));
  return advance();
}

inline int32_t exec_eret(InstrFields, const char*) {
  if (!cop0_usable()) return cop0_unusable();
  return return_from_exception();
}

// TLBR, TLBWI, TLBWR and TLBP.
template <void (*operation)()>
int32_t exec_tlb(InstrFields, const char*) {
  if (!cop0_usable()) return cop0_unusable();
  operation();
  return advance();
}

// CACHE translates its address as a load does, and takes an address error, a TLB refill or an
// invalid entry's exception as a load would (never a TLB Modified or a Watch exception). Past
// that it does nothing: the caches are not modelled, and every access reaches memory, so that
// writing a line back or dropping it changes nothing a program can see.
inline int32_t exec_cache(InstrFields f, const char*) {
  if (!cop0_usable()) return cop0_unusable();
  const uint64_t address = effective_address(f);
  const Fault fault = translate(address, Access::load).fault;
  if (fault != Fault::none) return raise_translation_fault(fault, address, Access::load);
  return advance();
}

// Coprocessor 2 is absent: each of its instructions, whatever Status's CU bits say, finds it
// unusable. The coprocessor's number is the low two bits of the opcode (COPz, LWCz, LDCz, SWCz,
// SDCz).
inline int32_t exec_coprocessor_absent(InstrFields f, const char*) {
  return raise(Exception::coprocessor_unusable, f.op() & 3u);
}

template <Exception code>
int32_t exec_exception(InstrFields, const char*) {
  return raise(code);
}

// TGE, TGEU, TLT, TLTU, TEQ, TNE: rs against rt.
template <alu::Comparison traps_if>
int32_t exec_trap(InstrFields f, const char*) {
  if (traps_if(rs(f), rt(f))) return raise(Exception::trap);
  return advance();
}

// TGEI, TGEIU, TLTI, TLTIU, TEQI, TNEI: rs against the sign-extended immediate.
template <alu::Comparison traps_if>
int32_t exec_trap_immediate(InstrFields f, const char*) {
  if (traps_if(rs(f), alu::sign_extend_16(f.imm()))) return raise(Exception::trap);
  return advance();
}

}  // namespace r4300i

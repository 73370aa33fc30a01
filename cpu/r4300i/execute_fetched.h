#pragma once

#include <cstdint>

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/r4300i/address_translation.h"
#include "cpu/r4300i/exceptions.h"
#include "cpu/r4300i/opcode_map.h"

namespace r4300i {

// Carries out the word in `cpu.current_instruction`, whose fetch the caller has translated:
// `fetch_fault` is what stopped the fetch, taken as its exception unless a pending interrupt is
// taken first. As `execute_instruction`, but register 0 must hold 0 already: it does after every
// instruction, so a loop of them sets it once, before the first (a debugger may have written
// it). Inline for the exact path, which runs nothing else per instruction.
[[gnu::always_inline]] inline int32_t execute_fetched(Fault fetch_fault) {
  if (!take_pending_interrupt()) {
    if (fetch_fault != Fault::none) [[unlikely]] {
      const uint32_t fetched_from = cpu.delay_slot_pending ? cpu.delay_slot_pc : cpu.pc;
      raise_translation_fault(fetch_fault, ::alu::sign_extend_32(fetched_from), Access::fetch);
    } else {
      const InstrFields f = decode_instruction(cpu.current_instruction);
      const OpcodeEntry& row = opcode_map_detail::entry(f);
      row.exec(f, row.name);
    }
  }
  // A write to register 0 is never seen.
  cpu.gpr[0] = 0;
  return kCarriedOut;
}

}  // namespace r4300i

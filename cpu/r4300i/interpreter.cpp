#include "cpu/r4300i/interpreter.h"

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/r4300i/opcode_map.h"

namespace r4300i {

int32_t execute_instruction() {
  cpu.gpr[0] = 0;
  const uint32_t fetched_from = cpu.delay_slot_pending ? cpu.delay_slot_pc : cpu.pc;
  if (!take_pending_interrupt()) {
    if (fetch_faults(fetched_from)) {
      raise_address_error(Exception::address_error_load, ::alu::sign_extend_32(fetched_from));
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

const OpcodeEntry& opcode_entry(InstrFields f) {
  return opcode_map_detail::entry(f);
}

}  // namespace r4300i

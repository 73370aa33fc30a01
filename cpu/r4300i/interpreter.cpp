#include "cpu/r4300i/interpreter.h"

#include "cpu/cpu_state.h"
#include "cpu/r4300i/address_translation.h"
#include "cpu/r4300i/execute_fetched.h"
#include "cpu/r4300i/opcode_map.h"

namespace r4300i {

int32_t execute_instruction() {
  cpu.gpr[0] = 0;
  return execute_fetched(
      translate_fetch(cpu.delay_slot_pending ? cpu.delay_slot_pc : cpu.pc).fault);
}

const OpcodeEntry& opcode_entry(InstrFields f) {
  return opcode_map_detail::entry(f);
}

Handler declining_fpu_handler(InstrFields f) {
  return opcode_map_detail::declining_cop1_handler(f);
}

}  // namespace r4300i

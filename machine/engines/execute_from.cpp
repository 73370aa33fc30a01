#include "machine/engines/execute_from.h"

int32_t fetch_and_execute(FetchWindow& fetch, RunObserver* observer) {
  std::memcpy(cpu.opcode_name.data, "Reading", sizeof "Reading");
  cpu.gpr[0] = 0;
  const bool from_delay_slot = cpu.delay_slot_pending != 0;
  const uint32_t address = from_delay_slot ? cpu.delay_slot_pc : cpu.pc;
  const bool watching = !watchpoints.empty();
  if (cpu.model == CpuModel::r4300i) {
    return watching
               ? execute_from<CpuModel::r4300i, true>(fetch, observer, address, from_delay_slot)
               : execute_from<CpuModel::r4300i, false>(fetch, observer, address, from_delay_slot);
  }
  return watching ? execute_from<CpuModel::v02c, true>(fetch, observer, address, from_delay_slot)
                  : execute_from<CpuModel::v02c, false>(fetch, observer, address, from_delay_slot);
}

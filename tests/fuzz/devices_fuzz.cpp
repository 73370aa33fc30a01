// libFuzzer: whatever a program writes to the console's hardware registers, at any width, with
// instructions and the clock moving on between the writes, the devices stay within the machine's
// memories and never hang: DMA of any length from and to any address, PIF command blocks of
// garbage, a VI origin past RDRAM.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "cpu/scheduler.h"
#include "debugger/debugger_state.h"
#include "machine/execution.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"

namespace {

// The first register of every block the console maps, the PIF's RAM and the ISViewer's buffer.
constexpr std::array<uint32_t, 13> kBlocks{
    0xA3F00000, 0xA4040000, 0xA4080000, 0xA4100000, 0xA4200000, 0xA4300000, 0xA4400000,
    0xA4500000, 0xA4600000, 0xA4700000, 0xA4800000, 0xBFC007C0, 0xB3FF0000};

// One step of the input: a register write of 1, 2 or 4 bytes (or a read), then some instructions.
struct Record {
  uint8_t block;
  uint8_t offset;
  uint8_t width_and_steps;
  uint8_t value[4];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  reset_all_state();
  choose_hardware(Hardware::console);
  // The words the processor runs between the writes: the input itself, from RDRAM's start, which
  // the input's DMA may overwrite as it goes.
  std::memcpy(memory.rdram, data, size < kRdramStandardBytes ? size : kRdramStandardBytes);
  cpu.pc = 0x80000000;
  for (; size >= sizeof(Record); data += sizeof(Record), size -= sizeof(Record)) {
    Record record;
    std::memcpy(&record, data, sizeof record);
    const uint32_t address = kBlocks[record.block % kBlocks.size()] + (record.offset & 0x3F);
    const unsigned width = 1u << (record.width_and_steps & 3);
    for (unsigned k = 0; k < width && k < 4; ++k) {
      if (width == 8) {
        (void)mem_read_byte(address + k);
      } else {
        mem_write_byte(address + k, record.value[k]);
      }
    }
    for (unsigned step = 0; step < (record.width_and_steps >> 2); ++step) execution.step();
  }
  return 0;
}

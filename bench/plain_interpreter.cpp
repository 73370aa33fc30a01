#include "bench/plain_interpreter.h"

#include <cstring>

#include "memory/memory_map.h"

namespace {

// The interpreter's processor, in memory as any emulator's processor state is.
struct PlainProcessor {
  uint64_t r[32];
  uint32_t pc;
  uint32_t slot;
  bool pending;
  uint64_t count;
} plain;

// RDRAM or SP DMEM, through KSEG0 and KSEG1; the loops touch nothing else.
uint8_t* bytes_at(uint32_t address) {
  const uint32_t physical = address - 0x80000000u < 0x40000000u ? address & 0x1FFFFFFFu : address;
  if (physical <= 0x003FFFFC) return memory.rdram + physical;
  if (physical - 0x04000000u <= 0x1000 - 4) return memory.sp_dmem + (physical - 0x04000000u);
  return nullptr;
}

uint32_t load_word(uint32_t address) {
  uint8_t* bytes = bytes_at(address);
  if (!bytes) return 0;
  uint32_t word;
  std::memcpy(&word, bytes, 4);
  return __builtin_bswap32(word);
}

void store_word(uint32_t address, uint32_t value) {
  if (uint8_t* bytes = bytes_at(address)) {
    value = __builtin_bswap32(value);
    std::memcpy(bytes, &value, 4);
  }
}

}  // namespace

uint64_t run_plain_interpreter(uint32_t start, uint64_t instructions) {
  plain = PlainProcessor{};
  plain.pc = start;
  uint64_t* const r = plain.r;
  uint32_t& pc = plain.pc;
  for (uint64_t n = 0; n < instructions; ++n) {
    const bool from_slot = plain.pending;
    const uint32_t word = load_word(from_slot ? plain.slot : pc);
    const unsigned rs = (word >> 21) & 31, rt = (word >> 16) & 31, rd = (word >> 11) & 31;
    const uint64_t simm = static_cast<uint64_t>(static_cast<int16_t>(word & 0xFFFF));
    r[0] = 0;
    pc += 4;
    switch (word >> 26) {
      case 0:
        switch (word & 63) {
          case 8:
            pc = static_cast<uint32_t>(r[rs]);
            break;
          case 33:
            r[rd] = r[rt] + static_cast<uint32_t>(r[rs]);
            break;
          case 36:
            r[rd] = r[rs] & r[rt];
            break;
          case 37:
            r[rd] = r[rs] | r[rt];
            break;
          case 38:
            r[rd] = r[rs] ^ r[rt];
            break;
        }
        break;
      case 3:
        r[31] = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(pc + 4)));
        [[fallthrough]];
      case 2:
        pc = (word & 0x03FFFFFF) << 2;
        break;
      case 4:
      case 5:
        if ((r[rs] == r[rt]) == (word >> 26 == 4)) {
          plain.slot = pc;
          plain.pending = true;
          pc += static_cast<uint32_t>(simm << 2) - 4;
        }
        break;
      case 9:
        r[rt] = r[rs] + simm;
        break;
      case 13:
        r[rt] = r[rs] | (word & 0xFFFF);
        break;
      case 15:
        r[rt] = static_cast<uint64_t>(word & 0xFFFF) << 16;
        break;
      case 35:
        r[rt] = static_cast<uint64_t>(
            static_cast<int32_t>(load_word(static_cast<uint32_t>(r[rs]) + (word & 0xFFFF))));
        break;
      case 43:
        store_word(static_cast<uint32_t>(r[rs]) + (word & 0xFFFF), static_cast<uint32_t>(r[rt]));
        break;
    }
    if (from_slot) plain.pending = false;
    ++plain.count;
  }
  uint64_t sum = pc + plain.count;
  for (uint64_t value : plain.r) sum += value;
  return sum;
}

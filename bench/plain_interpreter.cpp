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

namespace {

uint64_t sign_extended(uint32_t value) {
  return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(value)));
}

}  // namespace

void run_plain_complete_interpreter(uint32_t start, uint64_t registers[32], uint64_t instructions) {
  uint64_t* const r = registers;
  uint64_t lo = 0;
  uint32_t pc = start;
  uint32_t next = start + 4;
  for (uint64_t n = 0; n < instructions; ++n) {
    const uint32_t word = load_word(pc);
    const unsigned rs = (word >> 21) & 31, rt = (word >> 16) & 31, rd = (word >> 11) & 31;
    const uint64_t simm = static_cast<uint64_t>(static_cast<int16_t>(word & 0xFFFF));
    const uint32_t branch_target = next + static_cast<uint32_t>(simm << 2);
    const uint32_t here = pc;
    pc = next;
    next += 4;
    bool taken = false;
    bool likely = false;
    switch (word >> 26) {
      case 0:
        switch (word & 63) {
          case 0:
            r[rd] = sign_extended(static_cast<uint32_t>(r[rt]) << ((word >> 6) & 31));
            break;
          case 9:
            r[rd] = sign_extended(here + 8);
            [[fallthrough]];
          case 8:
            next = static_cast<uint32_t>(r[rs]);
            break;
          case 18:
            r[rd] = lo;
            break;
          case 24:
            lo = sign_extended(static_cast<uint32_t>(
                static_cast<int64_t>(static_cast<int32_t>(r[rs])) * static_cast<int32_t>(r[rt])));
            break;
          case 33:
            r[rd] = sign_extended(static_cast<uint32_t>(r[rs] + r[rt]));
            break;
          case 37:
            r[rd] = r[rs] | r[rt];
            break;
          case 42:
            r[rd] = static_cast<int64_t>(r[rs]) < static_cast<int64_t>(r[rt]);
            break;
          case 43:
            r[rd] = r[rs] < r[rt];
            break;
        }
        break;
      case 1:
        taken = (static_cast<int64_t>(r[rs]) < 0) == (rt == 0);
        break;
      case 3:
        r[31] = sign_extended(here + 8);
        [[fallthrough]];
      case 2:
        next = (pc & 0xF0000000u) | (word & 0x03FFFFFF) << 2;
        break;
      case 20:
        likely = true;
        [[fallthrough]];
      case 4:
        taken = r[rs] == r[rt];
        break;
      case 21:
        likely = true;
        [[fallthrough]];
      case 5:
        taken = r[rs] != r[rt];
        break;
      case 6:
        taken = static_cast<int64_t>(r[rs]) <= 0;
        break;
      case 9:
        r[rt] = sign_extended(static_cast<uint32_t>(r[rs] + simm));
        break;
      case 10:
        r[rt] = static_cast<int64_t>(r[rs]) < static_cast<int64_t>(simm);
        break;
      case 14:
        r[rt] = r[rs] ^ (word & 0xFFFF);
        break;
      case 15:
        r[rt] = sign_extended((word & 0xFFFF) << 16);
        break;
      case 35:
        r[rt] = sign_extended(load_word(static_cast<uint32_t>(r[rs] + simm)));
        break;
      case 43:
        store_word(static_cast<uint32_t>(r[rs] + simm), static_cast<uint32_t>(r[rt]));
        break;
    }
    if (taken) {
      next = branch_target;
    } else if (likely) {
      pc = next;
      next += 4;
    }
    r[0] = 0;
  }
}

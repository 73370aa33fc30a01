#pragma once

// The decoded engine's loads and stores, as lists its run loop expands once for each way a word
// can run: decoded_engine.cpp alone includes this. Entries and bodies are written as in
// decoded_arithmetic.h; a store also tells `forget_stored` the bytes it wrote, which may be code.

#include "cpu/r4300i/fpu_registers.h"
#include "machine/engines/decoded_arithmetic.h"
#include "machine/engines/decoded_words.h"
#include "machine/engines/fixed_translation.h"

// REACH(size) finds the bytes of a 0.2c load or store, REACH_CHECKED(size) those of the complete
// model's, which adds its offset sign-extended.
#define KORVEL_LOADS_AND_STORES(X)                                                                 \
  X(lb, REACH(1); r[e->a] = alu::lb_value(bytes[0]))                                               \
  X(lbu, REACH(1); r[e->a] = bytes[0])                                                             \
  X(lw, REACH(4); r[e->a] = alu::lw_value(load_big_endian(bytes, 4)))                              \
  X(ld, REACH(8); r[e->a] = load_big_endian(bytes, 8))                                             \
  X(sw, REACH(4); store_big_endian(bytes, r[e->a], 4); forget_stored<4>(physical))                 \
  X(lb_checked, REACH_CHECKED(1); r[e->a] = alu::lb_value(bytes[0]))                               \
  X(lbu_checked, REACH_CHECKED(1); r[e->a] = bytes[0])                                             \
  X(lh_checked, REACH_CHECKED(2);                                                                  \
    r[e->a] = ca::sign_extend_16(static_cast<uint16_t>(load_big_endian(bytes, 2))))                \
  X(lhu_checked, REACH_CHECKED(2); r[e->a] = load_big_endian(bytes, 2))                            \
  X(lw_checked, REACH_CHECKED(4); r[e->a] = alu::lw_value(load_big_endian(bytes, 4)))              \
  X(lwu_checked, REACH_CHECKED(4); r[e->a] = load_big_endian(bytes, 4))                            \
  X(ld_checked, REACH_CHECKED(8); r[e->a] = load_big_endian(bytes, 8))                             \
  X(sb_checked, STORE_CHECKED(1))                                                                  \
  X(sh_checked, STORE_CHECKED(2))                                                                  \
  X(sw_checked, STORE_CHECKED(4))                                                                  \
  X(sd_checked, STORE_CHECKED(8))                                                                  \
  X(lwc1, FPU_REACH(4); fpu::write32(e->c, static_cast<uint32_t>(load_big_endian(bytes, 4))))      \
  X(ldc1, FPU_REACH(8); fpu::write64(e->c, load_big_endian(bytes, 8)))                             \
  X(swc1, FPU_REACH(4); store_big_endian(bytes, fpu::read32(e->c), 4); forget_stored<4>(physical)) \
  X(sdc1, FPU_REACH(8); store_big_endian(bytes, fpu::read64(e->c), 8); forget_stored<8>(physical))

// Where a load or store goes: `physical` and its `bytes` when the engine can make the access, or
// out to the exact path, which raises the complete model's exceptions and makes its accesses
// outside KSEG0 and KSEG1.
#define REACH(size)                                                                     \
  const uint32_t physical = translate_address(alu::effective_address(r[e->b], e->imm)); \
  uint8_t* const bytes = plain_bytes(physical, size, rdram_bytes);                      \
  if (!bytes) goto REFUSED
#define REACH_CHECKED(size)                                        \
  const uint64_t address = r[e->b] + SIGNED_IMM;                   \
  if ((address & (size - 1)) != 0) goto REFUSED;                   \
  const uint32_t physical = fixed_data_physical(address);          \
  uint8_t* const bytes = plain_bytes(physical, size, rdram_bytes); \
  if (!bytes) goto REFUSED
// The FPU's loads and stores are the exact path's while it is unusable.
#define FPU_REACH(size)             \
  if (!fpu::usable()) goto REFUSED; \
  REACH_CHECKED(size)
#define STORE_CHECKED(size)               \
  REACH_CHECKED(size);                    \
  store_big_endian(bytes, r[e->a], size); \
  forget_stored<size>(physical)

#pragma once

// The decoded engine's branches and jumps, as lists its run loop expands: decoded_engine.cpp alone
// includes this. Entries and bodies are written as in decoded_arithmetic.h; `address_of(e)` is the
// word's address as the program sees it. A branch's handler goes to its delay slot when taken.

#include "cpu/alu.h"
#include "cpu/r4300i/alu.h"
#include "cpu/r4300i/fpu_registers.h"

// 0.2c's branches, X(operation, taken_if): they go on to the next word when not taken.
#define KORVEL_BRANCHES(X)   \
  X(beq, r[e->b] == r[e->c]) \
  X(bne, r[e->b] != r[e->c])

// The complete model's comparisons, X(delayed, likely, taken_if): each named by its delayed
// branch, whose slot runs either way, and by its likely one, which skips its slot when not taken.
#define KORVEL_COMPARISONS(X)                   \
  X(beq_delayed, beql, r[e->b] == r[e->c])      \
  X(bne_delayed, bnel, r[e->b] != r[e->c])      \
  X(blez, blezl, ca::at_most_zero(r[e->b], 0))  \
  X(bgtz, bgtzl, ca::above_zero(r[e->b], 0))    \
  X(bltz, bltzl, ca::below_zero(r[e->b], 0))    \
  X(bgez, bgezl, ca::at_least_zero(r[e->b], 0)) \
  X(bc1f, bc1fl, FPU_CONDITION(== 0))           \
  X(bc1t, bc1tl, FPU_CONDITION(!= 0))

// BC1F and BC1T test FCSR's condition bit; while the FPU is unusable the exact path raises
// Coprocessor Unusable in their place.
#define FPU_CONDITION(test)                \
  ({                                       \
    if (!fpu::usable()) goto out;          \
    (cpu.fcr31 & fpu::kConditionBit) test; \
  })

// The jumps, X(operation, body): the body links and sets `target`. 0.2c's take effect at once, and
// the complete model's after their delay slots. JALR reads its target before it links, since rd
// may be rs.
#define KORVEL_JUMPS(X)                                                           \
  X(j, target = alu::jump_target(e->imm))                                         \
  X(jal, r[31] = alu::jal_link(address_of(e)); target = alu::jump_target(e->imm)) \
  X(jr, target = static_cast<uint32_t>(r[e->b]))
#define KORVEL_DELAYED_JUMPS(X)                                 \
  X(j_delayed, target = ca::jump_target(address_of(e), e->imm)) \
  X(jal_delayed, r[e->a] = ca::link(address_of(e));             \
    target = ca::jump_target(address_of(e), e->imm))            \
  X(jr_delayed, target = ca::low(r[e->b]))                      \
  X(jalr, target = ca::low(r[e->b]); r[e->a] = ca::link(address_of(e)))

// The words the interpreter's handler runs where they stand, X(operation, body): the body sets
// `target` to where the handler left pc, the next word or an exception's vector, and the run goes
// on from there as after 0.2c's jumps.
#define KORVEL_IN_PLACE(X) X(fpu, target = run_in_place(*e, address_of(e)))

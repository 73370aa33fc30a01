#pragma once

#include <cstdint>

// A plain word-fetch interpreter of the instructions the benchmark loops use, over Korvel's own
// memory: every word fetched through the segments and checked against the storage, its fields
// decoded, a switch on the opcode, with Korvel's delay-slot hand-over and jumps without delay
// slots. The yardstick the engines are measured against. Returns a sum of its registers.
uint64_t run_plain_interpreter(uint32_t start, uint64_t instructions);

// The same for the complete processor model, over the instructions GCC's code for the C sample
// uses (bench/sorting_rounds.c): 32-bit results sign-extended, a delay slot after every jump and
// branch (skipped by a likely branch not taken), as a plain interpreter keeps them, with the
// address of the word after next. Starts from `registers` and leaves its own there.
void run_plain_complete_interpreter(uint32_t start, uint64_t registers[32], uint64_t instructions);

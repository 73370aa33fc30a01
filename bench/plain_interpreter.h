#pragma once

#include <cstdint>

// A plain word-fetch interpreter of the instructions the benchmark loops use, over Korvel's own
// memory: every word fetched through the segments and checked against the storage, its fields
// decoded, a switch on the opcode, with Korvel's delay-slot hand-over and jumps without delay
// slots. The yardstick the engines are measured against. Returns a sum of its registers.
uint64_t run_plain_interpreter(uint32_t start, uint64_t instructions);

#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "cpu/alu.h"
#include "cpu/r4300i/alu.h"
#include "machine/engines/decoded_words.h"

// The x86-64 code of translated blocks, and what it shares with the translator.
//
// Inside translated code rbx holds `&cpu`, through which the code reaches memory and the page marks
// too, rbp the `JitContext` and r12 the instructions the run may still execute; a block subtracts
// its length from r12 on entry and gives back what it did not run when it leaves early. Guest
// registers that a block uses most live in host registers while it runs and are stored back
// wherever it leaves.

// Why translated code went back to the translator.
enum class JitExit : uint32_t {
  stopped = 0,   // nothing more to run here: `cpu.pc` is where the run goes on
  link = 1,      // a jump to a block not translated yet; `link_site` is the jump to patch
  dispatch = 2,  // a JR to an address the lookup table does not hold
};

struct JitContext {
  JitExit exit;
  uint64_t link_site;           // the executable address just past the rel32 to patch
  uint64_t saved_address;       // kept across a call out of translated code
  uint64_t first_round_budget;  // what a looping block has left as it begins its first round
  uint64_t entry_stack;         // rsp as translated code was entered, which leaving restores
  uint64_t deepest_stack;       // below it, a JAL pushes no return frame
  uint32_t jump_target;         // a jump's target through a register, kept while its slot runs
  uint8_t taken;                // a branch's decision, kept while a slot that may change what
                                // it compared runs
};

// A JAL whose target is translated is a host call, after a push of its return address: the
// host's return prediction then takes a JR to that address, which compares its target with the
// pushed one and returns (the return lands in the JAL's block, which goes on to the block at the
// return address). Any other JR, and one whose target differs, takes the lookup table. Leaving
// translated code drops the frames; a sentinel frame below them never matches.
inline constexpr uint32_t kReturnFrames = 1024;
inline constexpr uint64_t kNoReturnAddress = 1;  // never a word's address

// The lookup table of JR targets: an entry per address, indexed by its word number.
struct JrEntry {
  uint32_t pc;  // never the address of a word while the entry is empty
  uint32_t unused;
  const void* code;
};
inline constexpr uint32_t kJrEntries = 4096;

// What a block's code needs of the translator.
struct EmitterTables {
  uint64_t leave;           // the trampoline's way back to C++
  const JrEntry* jr_table;  // kJrEntries entries
  // Called after a store into a page with translated words, with the page, the stored bytes'
  // distance from RDRAM's first byte and their number; nonzero when it dropped any block.
  int (*store_hook)(uint32_t page, uint32_t from_rdram, uint32_t bytes);
  // No RDRAM page holds decoded or translated words: stores into RDRAM need not look for them.
  bool rdram_stores_unchecked;
  const JitContext* context;  // the translator's, which translated code keeps up to date
};

// The words of a block, from `pc` on: straight-line words, possibly ending with a jump, or with a
// branch or a jump and its delay slot. All of them are ones the translator runs.
struct BlockSource {
  uint32_t pc;
  std::vector<DecodedWord> words;
};

// The registers compiled code uses everywhere, across calls and returns: the result, the first
// argument, the stack pointer and the return address (v0, a0, sp, ra). They stay in host
// registers all the while translated code runs: entering loads them, leaving stores them, and no
// block does either. They take the pool's last places, which calls preserve.
inline constexpr std::array<unsigned, 4> kPinnedRegisters = {2, 4, 29, 31};
inline constexpr int kPooledPlaces = 5;  // the places before them

// Which guest registers a block keeps in host registers while it runs: for each register, the
// place in the pool of host registers it takes, or -1.
std::array<int, 32> host_registers(const BlockSource& block);

// Where the J or JAL `word` at `pc` goes, as the word's processor model has it.
inline uint32_t field_jump_target(uint32_t pc, const DecodedWord& word) {
  return is_delayed_jump(word.op) ? r4300i::alu::jump_target(pc, word.imm)
                                  : alu::jump_target(word.imm);
}

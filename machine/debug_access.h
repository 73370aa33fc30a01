#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// What a debugger (the gdb server) reads and changes in the machine besides running it. Call these
// from the window thread; each holds the run thread at an instruction boundary meanwhile.

// Memory as the processor addresses it (KSEG0 and KSEG1 translated), without side effects: no
// message, no cartridge file position moved. A cartridge address reads the image byte at its
// offset into the cartridge range. Empty, or false, for an address that maps to nothing, and for a
// write to the cartridge.
std::optional<uint8_t> peek(uint32_t address);
bool poke(uint32_t address, uint8_t value);

// The processor's registers by file and number. HI, LO and PC have number 0 only; FPR values are
// the raw 64 bits of the double; PC is 32 bits wide and a write keeps the low half.
enum class RegisterFile : uint8_t { gpr, hi, lo, pc, cp0, fpr };
struct RegisterNumber {
  RegisterFile file;
  unsigned index = 0;  // 0..31 for the files of 32
};
uint64_t read_register(RegisterNumber reg);
void write_register(RegisterNumber reg, uint64_t value);

// The address the next instruction is fetched from: the pending delay slot's, or the program
// counter.
uint32_t next_fetch_address();

// Addresses a run stops before executing, as fetched (a delay slot's too). Empty unless a debugger
// fills it. Changed only while no instruction executes (hold a pause or have no run thread).
class UserBreakpoints {
 public:
  void insert(uint32_t address);
  void erase(uint32_t address);
  void clear() { addresses_.clear(); }
  bool empty() const { return addresses_.empty(); }
  bool contains(uint32_t address) const;
  const std::vector<uint32_t>& addresses() const { return addresses_; }

 private:
  std::vector<uint32_t> addresses_;  // sorted
};

extern UserBreakpoints user_breakpoints;

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

// One MIPS III program run two ways, for the differential tests against qemu. It is assembled by
// GNU as and linked as one static Linux program at kProgramAddress (the same address in qemu's
// process and in RDRAM), then run under qemu-mips64 -cpu R4000 and, made into a ROM by korvel-cli
// rom, under --cpu r4300i. The program's first words jump to its beginning; at kFinish it writes
// `result_bytes` from its symbol `results` to standard output and exits. Korvel stops there, at a
// breakpoint, and its results are read from RDRAM.
inline constexpr uint32_t kProgramAddress = 0x00100000;
inline constexpr uint32_t kFinish = kProgramAddress + 8;

struct YardstickRuns {
  std::string qemu;
  std::string korvel;
};

// Call from a CoreTest. `prepare` runs once the ROM is loaded, before Korvel runs it. Fails the
// calling test, and gives nothing for either run, when a tool or a run fails.
YardstickRuns run_on_qemu_and_korvel(const std::string& source, std::size_t result_bytes,
                                     const std::function<void()>& prepare = {});

// The words from `finish:` to `begin:` that write the results and exit, for a program whose body
// starts at `begin`.
std::string finish_and_exit(std::size_t result_bytes);

// A program of sequences, each of which leaves a block of results, and how many instructions the
// sequences' bodies have.
struct SequenceProgram {
  std::string source;
  int instructions = 0;
};

// Where each sequence's block lies in the results, and what the doubleword at an offset of a
// block is, for a difference's message.
struct SequenceLayout {
  int sequences;
  int block_bytes;
  std::string (*name)(int offset);
};

// For each seed, the program `write` makes of it run both ways, `prepare` as above; fails the
// calling test for each sequence whose block differs (naming the first difference of the first
// five), and calls `between` after each program. Returns the instructions of every body.
int compare_seeded_sequences(std::span<const uint64_t> seeds, SequenceProgram (*write)(uint64_t),
                             const SequenceLayout& layout, const std::function<void()>& prepare,
                             const std::function<void()>& between);

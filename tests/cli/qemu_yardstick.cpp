#include "tests/cli/qemu_yardstick.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cpu/cpu_state.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"
#include "tests/cli/cli_process.h"

namespace {

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool shell(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

// The program assembled and linked where both runs load it, as one loadable segment.
bool build(const TempDir& dir, const std::string& source) {
  std::ofstream(dir.path() / "program.s") << source;
  std::ofstream(dir.path() / "program.ld")
      << "ENTRY(_start)\nPHDRS { program PT_LOAD; }\nSECTIONS {\n  . = " << kProgramAddress
      << ";\n  .text : { *(.text) } :program\n  .data : { *(.data) } :program\n"
         "  .bss : { *(.bss) } :program\n"
         "  /DISCARD/ : { *(.MIPS.abiflags) *(.MIPS.options) *(.reginfo) *(.note*) *(.pdr) "
         "*(.gnu.attributes) }\n}\n";
  const std::string d = "'" + dir.path().string() + "/";
  return shell("mips-linux-gnu-as -EB -march=vr4300 -mabi=64 -o " + d + "program.o' " + d +
               "program.s' 2> " + d + "as.log' && mips-linux-gnu-ld -m elf64btsmip -static -T " +
               d + "program.ld' -o " + d + "program.elf' " + d + "program.o' 2> " + d + "ld.log'");
}

// The results as the program left them in RDRAM, run as a ROM under --cpu r4300i.
std::string run_under_korvel(const std::filesystem::path& rom, uint32_t results,
                             std::size_t result_bytes, const std::function<void()>& prepare) {
  cpu.model = CpuModel::r4300i;
  if (load_rom(rom.c_str()) != 1) return {};
  if (prepare) prepare();
  user_breakpoints.insert(kFinish);
  start_cpu();
  EXPECT_EQ(execution.wait_for_run_end(), StopReason::user_breakpoint);
  return std::string(reinterpret_cast<const char*>(memory.rdram) + translate_address(results),
                     result_bytes);
}

}  // namespace

YardstickRuns run_on_qemu_and_korvel(const std::string& source, std::size_t result_bytes,
                                     const std::function<void()>& prepare) {
  TempDir dir;
  EXPECT_TRUE(build(dir, source)) << read_file(dir.path() / "as.log")
                                  << read_file(dir.path() / "ld.log");
  const std::filesystem::path elf = dir.path() / "program.elf";
  CliResult qemu = run_program(KORVEL_QEMU_MIPS64, {"-cpu", "R4000", elf.string()});
  EXPECT_EQ(qemu.status, 0) << qemu.err;
  EXPECT_EQ(qemu.out.size(), result_bytes);

  const std::filesystem::path rom = dir.path() / "program.z64";
  CliResult made = run_cli({"rom", elf.string(), "-o", rom.string()});
  EXPECT_EQ(made.status, 0) << made.err;
  CliResult symbols = run_program("mips-linux-gnu-nm", {elf.string()});
  const std::size_t line = symbols.out.find(" results\n");
  if (line == std::string::npos || qemu.out.size() != result_bytes) {
    ADD_FAILURE() << "no results to compare";
    return {};
  }
  const std::string address = symbols.out.substr(symbols.out.rfind('\n', line) + 1, 16);
  const auto results = static_cast<uint32_t>(std::stoull(address, nullptr, 16));
  std::string ours = run_under_korvel(rom, results, result_bytes, prepare);
  EXPECT_EQ(ours.size(), qemu.out.size());
  if (ours.size() != qemu.out.size()) return {};
  return {qemu.out, ours};
}

std::string finish_and_exit(std::size_t result_bytes) {
  std::ostringstream out;
  out << "finish:\n"
         "        lui $5, %hi(results)\n        daddiu $5, $5, %lo(results)\n"
         "        ori $2, $0, 5001\n        ori $4, $0, 1\n"
         "        lui $6, "
      << (result_bytes >> 16) << "\n        ori $6, $6, " << (result_bytes & 0xFFFF)
      << "\n        syscall\n        ori $2, $0, 5058\n        ori $4, $0, 0\n        syscall\n"
         "begin:\n";
  return out.str();
}

namespace {

uint64_t doubleword_at(const std::string& block, std::size_t offset) {
  uint64_t value = 0;
  for (std::size_t k = 0; k < 8; ++k) value = value << 8 | static_cast<uint8_t>(block[offset + k]);
  return value;
}

// The first doubleword of sequence `sequence`'s block that differs; empty when none does.
std::string difference(const YardstickRuns& runs, const SequenceLayout& layout, int sequence) {
  const int first = sequence * layout.block_bytes;
  for (int at = 0; at < layout.block_bytes; at += 8) {
    const uint64_t q = doubleword_at(runs.qemu, first + at);
    const uint64_t k = doubleword_at(runs.korvel, first + at);
    if (q == k) continue;
    std::ostringstream out;
    out << layout.name(at) << std::hex << ": qemu " << q << ", korvel " << k;
    return out.str();
  }
  return "";
}

}  // namespace

int compare_seeded_sequences(std::span<const uint64_t> seeds, SequenceProgram (*write)(uint64_t),
                             const SequenceLayout& layout, const std::function<void()>& prepare,
                             const std::function<void()>& between) {
  int instructions = 0;
  for (const uint64_t seed : seeds) {
    const SequenceProgram program = write(seed);
    const YardstickRuns runs = run_on_qemu_and_korvel(
        program.source, static_cast<std::size_t>(layout.sequences * layout.block_bytes), prepare);
    int differing = 0;
    for (int i = 0; i < layout.sequences && !runs.qemu.empty(); ++i) {
      const std::string found = difference(runs, layout, i);
      if (!found.empty() && ++differing <= 5) {
        ADD_FAILURE() << "seed " << seed << ", sequence " << i << ", " << found;
      }
    }
    EXPECT_EQ(differing, 0);
    if (!runs.qemu.empty()) instructions += program.instructions;
    between();
  }
  return instructions;
}

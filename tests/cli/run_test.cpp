// korvel-cli run: the demo to its breakpoint, the trace, the limit, the steps and each stop reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/cli_process.h"
#include "tests/support/mips_assembler.h"
#include "tests/support/rom_image.h"

namespace {

using Lines = std::vector<std::string>;

std::string value(uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
  return text;
}

class CliRun : public ::testing::Test {
 protected:
  // A ROM whose boot code is `source`; its header name is empty when `named` is false.
  std::string program(const std::string& source, bool named = true) {
    RomImage image;
    image.boot_code = to_bytes(assemble(source));
    if (!named) image.name = std::string(1, '\0');
    return dir.write("program.z64", image.native());
  }

  TempDir dir;
};

TEST_F(CliRun, DemoReachesItsBreakpointWithTheValuesItsCommentsPromise) {
  CliResult result = run_cli({"run", sample("demo.z64"), "--regs"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "Breakpoint Encountered: PC: 0x040000B0\\n\n");
  auto regs = registers(result);
  EXPECT_EQ(regs["pc"], "040000b0");
  const std::map<std::string, uint64_t> expected = {
      {"gpr2", 55},
      {"gpr3", 144},
      {"gpr4", 0},
      {"gpr8", 0},
      {"gpr9", 10},
      {"gpr10", 0x80000000},
      {"gpr11", 144},
      {"gpr12", 233},
      {"gpr13", 233},
      {"gpr14", 0xA0000000},
      {"gpr16", 55},
      {"gpr17", 144},
      {"gpr18", 199},
      {"gpr19", 1},
      {"gpr20", 1},
      {"gpr21", 0x600D},
      {"gpr22", 0x3F},
      {"gpr29", 0xA4001FFC},
      {"gpr31", 0x04000064},
      {"cp0_9", 120},
      {"cp0_12", 0x70400004},
      {"hi", 0},
      {"lo", 0},
      {"fpr0", 0},
  };
  for (const auto& [name, v] : expected) EXPECT_EQ(regs[name], value(v)) << name;
  EXPECT_EQ(regs.size(), 1u + 2u + 3 * 32u);
  EXPECT_EQ(result.out_lines().back(), "stopped: breakpoint");
}

TEST_F(CliRun, TraceListsEachFetchedWordBeforeItRunsDelaySlotsIncluded) {
  CliResult result = run_cli({"run", sample("demo.z64"), "--trace"});
  EXPECT_EQ(result.status, 0);
  Lines lines = result.out_lines();
  ASSERT_EQ(lines.size(), 119u + 1u);
  const Lines first = {
      "04000040   2408000A   ADDIU t0,r0,a",
      "04000044   00001025   OR v0,r0,r0",
      "04000048   00481021   ADDU",
      "0400004C   2508FFFF   ADDIU t0,t0,ffff",
      "04000050   1500FFFD   BNEZ t0,0x4000048",
      "04000054   25290001   ADDIU t1,t1,1",
      "04000048   00481021   ADDU",
  };
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + first.size()), first);
  // The jump leaves the word after it alone, in both directions.
  EXPECT_EQ(lines[43], "0400005C   0D00002E   JAL 100002E");
  EXPECT_EQ(lines[44], "040000B8   340B0000   ORI t3,r0,0");
  EXPECT_EQ(lines[107], "040000D8   03E00008   JR ra");
  EXPECT_EQ(lines[108], "04000064   3C0A8000   LUI t2,0x8000");
  // The taken BEQ's delay slot, then the branch target.
  EXPECT_EQ(lines[116], "04000084   12020002   BEQ s0,v0,2");
  EXPECT_EQ(lines[117], "04000088   3415600D   ORI s5,r0,600D");
  EXPECT_EQ(lines[118], "04000090   0900002C   J 100002C");
  EXPECT_EQ(lines[119], "stopped: breakpoint");
}

TEST_F(CliRun, LimitPausesAfterExactlyThatManyInstructions) {
  struct Case {
    const char* limit;
    bool trace;
    const char* count;
  };
  const Case cases[] = {
      {"1", false, "0000000000000002"},
      {"8", true, "0000000000000009"},
      {"0x186a0", false, "00000000000186a1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.limit);
    std::vector<std::string> args = {"run", sample("spin.z64"), "--limit", c.limit, "--regs"};
    if (c.trace) args.push_back("--trace");
    CliResult result = run_cli(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(registers(result)["cp0_9"], c.count);
    EXPECT_EQ(result.out_lines().back(), "stopped: limit");
    if (c.trace) {
      Lines lines = result.out_lines();
      EXPECT_EQ(lines[5], "04000054   1000FFFA   BEQ r0,r0,FFFA");
      EXPECT_EQ(lines[6], "04000058   25AD0001   ADDIU t5,t5,1");  // the delay slot
      EXPECT_EQ(lines[7].substr(0, 8), "04000040");
      EXPECT_EQ(lines[8].substr(0, 3), "pc ");
    }
  }
}

TEST_F(CliRun, StepsGoOnPastAnUnhandledOpcodeAfterItsMessage) {
  std::string rom = program("addiu $t0, $zero, 1\n mult $t0, $t0\n addiu $t0, $t0, 2");
  const std::string message =
      "Unhandled Opcode: Unhandled Opcode: MULT\\nEmulation stopped at instruction number 4\n";
  struct Case {
    std::vector<std::string> options;
    std::string err;
    const char* t0;
    const char* stopped;
  };
  const Case cases[] = {
      {{"--steps", "3"}, message, "0000000000000003", "stopped: steps"},
      {{"--steps", "2"}, message, "0000000000000001", "stopped: unhandled opcode"},
      {{"--steps", "3", "--no-stop"}, "", "0000000000000003", "stopped: steps"},
      {{}, message, "0000000000000001", "stopped: unhandled opcode"},  // a run ends there
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.options));
    std::vector<std::string> args = {"run", rom, "--regs", "--trace"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CliResult result = run_cli(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out_lines()[1], "04000044   01080018   MULT");
    EXPECT_EQ(registers(result)["gpr8"], c.t0);
    EXPECT_EQ(result.out_lines().back(), c.stopped);
  }
}

TEST_F(CliRun, EachStopReason) {
  RomImage truncated;  // the byte-order mark alone: the boot code reads as NOPs
  truncated.size = 2;
  struct Case {
    std::string rom;
    std::vector<std::string> options;
    const char* stopped;
    const char* pc;
  };
  const Case cases[] = {
      {sample("demo.v64"), {}, "stopped: breakpoint", "040000b0"},
      {dir.write("truncated.z64", truncated.native()), {}, "stopped: stop address", "040000a8"},
      {program("lui $t0, 0x0500\n lw $t1, 0($t0)"), {}, "stopped: memory error", "04000048"},
      {sample("spin.z64"), {"--limit", "3"}, "stopped: limit", "0400004c"},
      // The lowest watched byte an access touched, after the instruction; the limit comes second.
      {sample("counter.z64"),
       {"--watch", "0x80001003,4:a", "--watch", "0xa0001002,1", "--limit", "5"},
       "stopped: watchpoint write 80001004",
       "04000050"},
      {sample("counter.z64"),
       {"--watch", "0x1002,2:w"},
       "stopped: watchpoint write 00001002",
       "0400005c"},
      {sample("counter.z64"),
       {"--steps", "9", "--watch", "0x80001000,1:r"},
       "stopped: watchpoint read 80001000",
       "04000054"},
      // A watched byte written by DMA: the boot code clears memory with the signal processor's.
      {(testdata_dir() / "suite" / "roms" / "CPU_ADD_CPUADD.z64").string(),
       {"--machine", "console", "--watch", "0x80001000,4"},
       "stopped: watchpoint write 80001000 dma sp",
       "a4000378"},
      {sample("demo.z64"), {"--steps", "0"}, "stopped: steps", "04000040"},
      // Steps make no address test, but the reason names where the last one arrived.
      {sample("demo.z64"), {"--steps", "119"}, "stopped: breakpoint", "040000b0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stopped);
    std::vector<std::string> args = {"run", c.rom, "--regs"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CliResult result = run_cli(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(registers(result)["pc"], c.pc);
    EXPECT_EQ(result.out_lines().back(), c.stopped);
  }
}

TEST_F(CliRun, ShowCountPrintsTheFinalTitle) {
  std::string unnamed = program("lui $t0, 0x0400\n ori $t0, $t0, 0xB0\n jr $t0", false);
  // With no name the title holds the path, which may hold a line break; the title stays one line.
  const std::filesystem::path broken = dir.path() / "a\nstopped: breakpoint.z64";
  std::filesystem::copy_file(unnamed, broken);
  struct Case {
    std::vector<std::string> args;
    std::string title;
  };
  std::vector<Case> cases = {
      {{"run", sample("demo.z64")}, "title: Korvel - KORVEL DEMO          - Running 120"},
      {{"run", unnamed}, "title: Korvel - " + unnamed + " - Running 4"},
      {{"run", sample("demo.z64"), "--steps", "26"}, "title: Korvel  1b"},  // Count in hex
  };
  // Windows file names hold neither line breaks nor colons.
  if (!cli_for_windows()) {
    cases.push_back(
        {{"run", broken.string()},
         "title: Korvel - " + dir.path().string() + "/a\\nstopped: breakpoint.z64 - Running 4"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    std::vector<std::string> args = c.args;
    args.push_back("--show-count");
    Lines lines = run_cli(args).out_lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], c.title);
  }
}

}  // namespace

// korvel-cli gdbserver under the real gdb-multiarch: the sessions a person following the README
// has, checked against korvel-cli run at the same points.
#include <signal.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cli_process.h"

namespace {

using Registers = std::map<std::string, std::string>;

// Whether `text` holds each of `parts`, in order.
testing::AssertionResult holds_in_order(const std::string& text,
                                        const std::vector<std::string>& parts) {
  std::size_t at = 0;
  for (const std::string& part : parts) {
    std::size_t found = text.find(part, at);
    if (found == std::string::npos) {
      return testing::AssertionFailure() << "no \"" << part << "\" after offset " << at << " of\n"
                                         << text;
    }
    at = found + part.size();
  }
  return testing::AssertionSuccess();
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> found;
  for (std::string word; in >> word;) found.push_back(word);
  return found;
}

// The table gdb's `info registers` printed between "<regs>" and "</regs>", by register name: a
// line of names, then a line of their values, after a row label ("R8") in the general rows.
Registers gdb_registers(const std::string& out) {
  std::size_t begin = out.find("<regs>\n");
  std::size_t end = out.find("</regs>");
  if (begin == std::string::npos || end == std::string::npos) return {};
  std::istringstream table(out.substr(begin + 7, end - begin - 7));
  Registers values;
  for (std::string names, row; std::getline(table, names) && std::getline(table, row);) {
    std::vector<std::string> name = words(names);
    std::vector<std::string> value = words(row);
    if (value.size() == name.size() + 1) value.erase(value.begin());
    for (std::size_t i = 0; i < std::min(name.size(), value.size()); ++i)
      values[name[i]] = value[i];
  }
  return values;
}

// gdb's table against `korvel-cli run --regs`: gdb shows 64-bit registers with `set mips abi o64`
// and their low halves under its default o32, and pc sign-extended as the processor would.
void expect_same_registers(const Registers& shown, const Registers& held) {
  const char* gpr_names[32] = {"zero", "at", "v0", "v1", "a0", "a1", "a2", "a3", "t0", "t1", "t2",
                               "t3",   "t4", "t5", "t6", "t7", "s0", "s1", "s2", "s3", "s4", "s5",
                               "s6",   "s7", "t8", "t9", "k0", "k1", "gp", "sp", "s8", "ra"};
  std::vector<std::pair<std::string, std::string>> names = {
      {"status", "cp0_12"},  {"lo", "lo"},        {"hi", "hi"},
      {"badvaddr", "cp0_8"}, {"cause", "cp0_13"}, {"pc", "pc"}};
  for (int n = 0; n < 32; ++n) names.emplace_back(gpr_names[n], "gpr" + std::to_string(n));
  for (const auto& [gdb_name, regs_name] : names) {
    SCOPED_TRACE(gdb_name);
    ASSERT_EQ(shown.count(gdb_name), 1u);
    ASSERT_EQ(held.count(regs_name), 1u);
    uint64_t value = std::stoull(held.at(regs_name), nullptr, 16);
    if (regs_name == "pc") value = static_cast<uint64_t>(static_cast<int32_t>(value));
    if (shown.at(gdb_name).size() == 8) value &= 0xFFFFFFFF;
    EXPECT_EQ(std::stoull(shown.at(gdb_name), nullptr, 16), value);
  }
}

class GdbServer : public ::testing::Test {
 protected:
  // Starts the server on a sample and returns the port its listening line names.
  std::string start(const std::string& rom) {
    server = std::make_unique<BackgroundCli>(
        std::vector<std::string>{"gdbserver", sample(rom), "--port", "0"});
    const std::string prefix = "listening on 127.0.0.1:";
    EXPECT_TRUE(server->wait_for_err("\n"));
    std::string err = server->err();
    EXPECT_TRUE(err.starts_with(prefix)) << err;
    std::string port = err.substr(prefix.size(), err.find('\n') - prefix.size());
    target = "target remote :" + port;
    return port;
  }

  // gdb in batch mode, each command given with -ex, so that an error does not end the session.
  CliResult gdb(const std::vector<std::string>& commands) {
    std::vector<std::string> args = {"-batch", "-nx"};
    for (const std::string& command : commands) {
      args.push_back("-ex");
      args.push_back(command);
    }
    return run_program(KORVEL_GDB, args);
  }

  std::unique_ptr<BackgroundCli> server;
  std::string target;
};

TEST_F(GdbServer, SpinSteppedStoppedInterruptedChangedAndAttachedAgain) {
  const std::string port = start("spin.z64");
  const std::string second_client = std::string("shell ") + KORVEL_GDB +
                                    " -batch -nx -ex 'target remote :" + port +
                                    "' -ex 'info registers pc'";
  CliResult session = gdb(
      {"set endian big", "set mips abi o64", target,                       //
       "echo <regs>\\n", "info registers", "echo </regs>\\n", "x/4i $pc",  //
       // The loop's branch at 0x04000054 and its delay slot are one stepi.
       "stepi 5", "p/x $pc", "stepi", "p/x $pc", "p $t5",                        //
       "break *0x04000050", "continue", "p $t0", "delete",                       //
       "shell (sleep 1; kill -INT $PPID) &", "continue", "p $pc != 0x04000058",  //
       // The same loop through KSEG1, where addresses are negative to gdb.
       "set $pc = 0xffffffffa4000040", "break *0xffffffffa4000048", "continue", "delete",
       // What the program writes through KSEG0 reads back through KSEG1; the word needs escapes.
       "set $t3 = 0x1234", "set {int}0x80000100 = 0x23247d2a", "x/wx 0xa0000100",  //
       "x/wx 0x7ff00000",                                                          //
       second_client, "detach", target, "p/x $t3", "x/wx 0x80000100", "kill"});

  expect_same_registers(gdb_registers(session.out),
                        registers(run_cli({"run", sample("spin.z64"), "--steps", "0", "--regs"})));
  EXPECT_TRUE(holds_in_order(session.out, {
                                              "=> 0x4000040:\taddiu\tt0,t0,1\n"
                                              "   0x4000044:\taddu\tt1,t1,t0\n"
                                              "   0x4000048:\txor\tt2,t2,t1\n"
                                              "   0x400004c:\tor\tt3,t3,t2\n",
                                              "$1 = 0x4000054",
                                              "$2 = 0x4000040",
                                              "$3 = 1\n",
                                              "Breakpoint 1, 0x04000050 in ?? ()",
                                              "$4 = 2\n",
                                              "Program received signal SIGINT, Interrupt.",
                                              "$5 = 1\n",
                                              "Breakpoint 2, 0xa4000048 in ?? ()",
                                              "0xa0000100:\t0x23247d2a",
                                              "[Inferior 1 (Remote target) detached]",
                                              "$6 = 0x1234",
                                              "0x80000100:\t0x23247d2a",
                                              "[Inferior 1 (Remote target) killed]",
                                          }));
  EXPECT_TRUE(holds_in_order(session.err, {"Cannot access memory at address 0x7ff00000",
                                           "The program has no registers now."}));
  EXPECT_EQ(server->wait(), 0);
}

TEST_F(GdbServer, TheDemosBreakpointIsATrapWithItsMessage) {
  start("demo.z64");
  CliResult session = gdb({"set endian big", target, "continue", "echo <regs>\\n", "info registers",
                           "echo </regs>\\n", "continue", "detach"});
  const std::string trap = "Program received signal SIGTRAP, Trace/breakpoint trap.\n0x040000b0";
  EXPECT_TRUE(holds_in_order(session.out, {trap, "<regs>", trap, "detached"}));
  expect_same_registers(gdb_registers(session.out),
                        registers(run_cli({"run", sample("demo.z64"), "--regs"})));

  // A detach leaves the server waiting for the next client; SIGTERM ends it.
  ::kill(server->pid(), SIGTERM);
  EXPECT_EQ(server->wait(), 0);
  const std::string message = "Breakpoint Encountered: PC: 0x040000B0\\n\n";
  EXPECT_TRUE(server->err().ends_with("\n" + message + message)) << server->err();
}

TEST_F(GdbServer, ARunItsClientLeftPausesForTheNextAndSigintEndsTheServer) {
  start("spin.z64");
  // gdb ends here with the target still running, and goes without a word.
  gdb({"set endian big", target, "continue &", "shell sleep 0.3"});
  CliResult next =
      gdb({"set endian big", target, "p $t0", "maint flush register-cache", "p $t0",
           "shell (sleep 1; kill -INT " + std::to_string(server->pid()) + ") &", "continue"});
  std::size_t first = next.out.find("$1 = ");
  std::size_t second = next.out.find("$2 = ");
  ASSERT_NE(first, std::string::npos) << next.out << next.err;
  ASSERT_NE(second, std::string::npos) << next.out;
  const std::string t0 = next.out.substr(first + 5, next.out.find('\n', first) - first - 5);
  EXPECT_NE(t0, "0");  // the first client's run went on for a while,
  EXPECT_EQ(next.out.substr(second + 5, t0.size() + 1), t0 + "\n");  // and then held still
  EXPECT_NE(next.err.find("Remote connection closed"), std::string::npos) << next.err;
  EXPECT_EQ(server->wait(), 0);
}

TEST_F(GdbServer, RefusesBadRomsAndWarnsOffTheLoopbackAddress) {
  CliResult refused = run_cli({"gdbserver", sample("missing.z64"), "--port", "0"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "ROM: Not a valid ROM!\n");

  BackgroundCli open({"gdbserver", sample("demo.z64"), "--port", "0", "--listen", "0.0.0.0"});
  ASSERT_TRUE(open.wait_for_err("listening on 0.0.0.0:"));
  EXPECT_TRUE(open.err().starts_with("korvel-cli: warning: 0.0.0.0:")) << open.err();
  EXPECT_NE(open.err().find("anyone who can reach the port can read and change the emulated "
                            "machine\nlistening on 0.0.0.0:"),
            std::string::npos);
  ::kill(open.pid(), SIGINT);
  EXPECT_EQ(open.wait(), 0);
}

}  // namespace

// korvel-cli gdbserver under the real gdb-multiarch: the sessions a person following the README
// has, checked against korvel-cli run at the same points.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
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

// The table gdb's `info registers` printed between "<regs>" and "</regs>" (the first, or the one
// after `skipped` others), by register name: a line of names, then a line of their values, after a
// row label ("R8") in the general rows.
Registers gdb_registers(const std::string& out, int skipped = 0) {
  std::size_t begin = out.find("<regs>\n");
  while (skipped-- > 0 && begin != std::string::npos) begin = out.find("<regs>\n", begin + 1);
  std::size_t end = out.find("</regs>", begin);
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

// A client of the server's port that does what gdb never does.
class RawClient {
 public:
  explicit RawClient(const std::string& port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(socket_, reinterpret_cast<sockaddr*>(&server), sizeof server), 0);
  }
  ~RawClient() { ::close(socket_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  static std::string packet(const std::string& payload) {
    unsigned sum = 0;
    for (char c : payload) sum += static_cast<uint8_t>(c);
    char checksum[3];
    std::snprintf(checksum, sizeof checksum, "%02x", sum & 0xFF);
    return "$" + payload + "#" + checksum;
  }

  // Asks for `count` blocks of 2 KB of RDRAM, each answered in 4 KB, and reads none of the
  // answers; stops asking early once the server no longer takes the requests.
  void ask_without_reading(int count) {
    const std::string request = packet("m80000000,800");
    for (int i = 0; i < count; ++i) {
      if (::send(socket_, request.data(), request.size(), MSG_DONTWAIT | MSG_NOSIGNAL) <= 0) {
        return;
      }
    }
  }

  // Sends `bytes` and reads until the answer holds `expected`: false when the connection ends
  // first, or at `deadline`.
  bool ask(const std::string& bytes, const std::string& expected,
           std::chrono::steady_clock::time_point deadline) {
    ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    std::string answer;
    while (answer.find(expected) == std::string::npos) {
      pollfd wait{socket_, POLLIN, 0};
      if (::poll(&wait, 1, 100) == 1) {
        char buffer[4096];
        ssize_t got = ::recv(socket_, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        answer.append(buffer, static_cast<std::size_t>(got));
      }
      if (std::chrono::steady_clock::now() > deadline) return false;
    }
    return true;
  }

 private:
  int socket_;
};

class GdbServer : public ::testing::Test {
 protected:
  // Starts the server on a sample and returns the port its listening line names.
  std::string start(const std::string& rom, const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {"gdbserver", sample(rom), "--port", "0"};
    args.insert(args.end(), options.begin(), options.end());
    server = std::make_unique<BackgroundCli>(args);
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
  ::kill(server->pid(), end_request_signal());
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

TEST_F(GdbServer, TheDemoSteppedAndContinuedBackwardsAsRunsToTheSameCountsLeaveIt) {
  start("demo.z64");
  // One line for each instruction up to the breakpoint address, then the stop.
  const std::vector<std::string> trace =
      run_cli({"run", sample("demo.z64"), "--trace"}).out_lines();
  // gdb's pc is where the next word is fetched from, which is the delay slot's address between a
  // branch and its slot: the trace's address, where --regs shows the processor's pc.
  auto after = [&](uint64_t count) {
    Registers held =
        registers(run_cli({"run", sample("demo.z64"), "--limit", std::to_string(count), "--regs"}));
    held["pc"] = trace.at(count).substr(0, 8);
    return held;
  };
  const uint64_t at_breakpoint = trace.size() - 1;
  // The loop's first word, as last fetched before the three steps back.
  uint64_t last_loop = 0;
  for (uint64_t count = 0; count < at_breakpoint - 3; ++count) {
    if (trace[count].starts_with("04000048")) last_loop = count;
  }
  std::vector<std::string> commands = {"set endian big", "set mips abi o64", target, "continue"};
  auto then_registers = [&](std::initializer_list<std::string> steps) {
    commands.insert(commands.end(), steps);
    commands.insert(commands.end(), {"echo <regs>\\n", "info registers", "echo </regs>\\n"});
  };
  for (int back = 1; back <= 3; ++back) then_registers({"reverse-stepi"});
  then_registers({"break *0x04000048", "reverse-continue"});
  then_registers({"delete", "reverse-continue"});
  commands.insert(commands.end(), {"reverse-stepi", "p/x $pc", "kill"});
  CliResult session = gdb(commands);
  for (int back = 1; back <= 3; ++back) {
    SCOPED_TRACE(back);
    expect_same_registers(gdb_registers(session.out, back - 1), after(at_breakpoint - back));
  }
  expect_same_registers(gdb_registers(session.out, 3), after(last_loop));
  expect_same_registers(gdb_registers(session.out, 4),
                        registers(run_cli({"run", sample("demo.z64"), "--steps", "0", "--regs"})));
  EXPECT_TRUE(holds_in_order(
      session.out, {"SIGTRAP", "Breakpoint 1, 0x04000048 in ?? ()",
                    "No more reverse-execution history.\n0x04000040",
                    "No more reverse-execution history.\n0x04000040", "$1 = 0x4000040\n"}));
  // The replays showed nothing: the breakpoint's message is the forward run's alone.
  EXPECT_EQ(server->wait(), 0);
  const std::size_t message = server->err().find("Breakpoint Encountered");
  EXPECT_NE(message, std::string::npos);
  EXPECT_EQ(message, server->err().rfind("Breakpoint Encountered"));
}

// A write of gdb's starts a new timeline where the machine stands: stepping back replays the
// instructions run since from the state written, not those of the old timeline; before the write
// the past is as it was.
TEST_F(GdbServer, SteppingBackAfterAWrittenPcReplaysTheNewTimeline) {
  start("spin.z64");
  CliResult session =
      gdb({"set endian big", target, "stepi", "stepi", "set $t4 = 7", "set $pc = 0x04000044",
           "stepi", "stepi", "reverse-stepi", "p/x $pc", "p $t4", "reverse-stepi", "p/x $pc",
           "reverse-stepi", "p/x $pc", "reverse-stepi", "p/x $pc", "p $t4", "kill"});
  EXPECT_TRUE(holds_in_order(session.out, {"$1 = 0x4000048\n", "$2 = 7\n", "$3 = 0x4000044\n",
                                           "$4 = 0x4000044\n", "$5 = 0x4000040\n", "$6 = 0\n"}))
      << session.out << session.err;
  EXPECT_EQ(server->wait(), 0);
}

// "Who wrote this value?": the counter sample counts a word in RDRAM up in a loop. watch stops just
// after each store with the values, reverse-continue goes back onto the stores that wrote them,
// rwatch and awatch stop after the loads, and without the watchpoint the run goes on to its end.
TEST_F(GdbServer, WatchpointsForwardsAndBackwards) {
  start("counter.z64");
  CliResult session = gdb({"set endian big",
                           target,
                           "watch *(int*)0x80001000",
                           "continue",
                           "continue",
                           "continue",
                           "reverse-continue",
                           "p $pc",
                           "reverse-continue",
                           "p $pc",
                           "continue",
                           "delete",
                           "rwatch *(int*)0x80001004",
                           "continue",
                           "p $pc",
                           "delete",
                           "awatch *(int*)0x80001000",
                           "continue",
                           "continue",
                           "delete",
                           "continue",
                           "p *(int*)0x80001000",
                           "kill"});
  auto change = [](int from, int to, const char* at) {
    return "Old value = " + std::to_string(from) + "\nNew value = " + std::to_string(to) + "\n" +
           at + " in ?? ()";
  };
  // The loop's store is at 0x04000058; gdb shows the word after it.
  EXPECT_TRUE(holds_in_order(
      session.out,
      {"Hardware watchpoint 1: *(int*)0x80001000", change(0, 1, "0x0400005c"),
       change(1, 2, "0x0400005c"), change(2, 3, "0x0400005c"), change(3, 2, "0x04000058"),
       "$1 = (void (*)()) 0x4000058", change(2, 1, "0x04000058"), "$2 = (void (*)()) 0x4000058",
       change(1, 2, "0x0400005c"), "Hardware read watchpoint 2: *(int*)0x80001004",
       "Value = 100\n0x04000060 in ?? ()", "$3 = (void (*)()) 0x4000060",
       "Hardware access (read/write) watchpoint 3: *(int*)0x80001000",
       "Value = 2\n0x04000054 in ?? ()", change(2, 3, "0x0400005c"), "SIGTRAP", "$4 = 100\n",
       "killed"}))
      << session.out << session.err;
  EXPECT_EQ(server->wait(), 0);
}

TEST_F(GdbServer, AClientThatLeavesDuringALongReplayFindsTheMachineWholeWhenItComesBack) {
  start("spin.z64");
  // A second of spin, then back towards its start: interrupted once, then left.
  CliResult first = gdb({"set endian big", target, "shell (sleep 1; kill -INT $PPID) &", "continue",
                         "p $t0", "shell (sleep 0.2; kill -INT $PPID) &", "reverse-continue",
                         "p $t0", "reverse-continue &"});
  // The loop starts by counting t0 at 0x04000040 and ends by counting t5 in its delay slot.
  CliResult next = gdb({"set endian big", target, "p $t0",
                        "p $pc >= 0x4000040 && $pc <= 0x4000058 && "
                        "$t0 - $t5 == ($pc != 0x4000040)",
                        "reverse-continue", "p $t0", "kill"});
  auto value = [](const CliResult& session, int number) {
    const std::string name = "$" + std::to_string(number) + " = ";
    std::size_t at = session.out.find(name);
    return at == std::string::npos ? -1 : std::stoll(session.out.substr(at + name.size()));
  };
  const long long ran = value(first, 1), interrupted = value(first, 2), left = value(next, 1);
  EXPECT_TRUE(holds_in_order(first.out, {"SIGINT", "SIGINT"})) << first.out << first.err;
  EXPECT_GT(ran, interrupted);
  EXPECT_GT(interrupted, left);  // the replay went on until the client went
  EXPECT_GT(left, 0);
  EXPECT_TRUE(
      holds_in_order(next.out, {"$2 = 1\n", "No more reverse-execution history.", "$3 = 0\n"}))
      << next.out;
  EXPECT_EQ(server->wait(), 0);
}

TEST_F(GdbServer, WithoutAHistoryThereIsNoGoingBack) {
  CliResult too_small =
      run_cli({"gdbserver", sample("demo.z64"), "--port", "0", "--history-mb", "4"});
  EXPECT_EQ(too_small.status, 2);
  EXPECT_TRUE(too_small.err.starts_with(
      "korvel-cli: --history-mb: 4 MB cannot hold one snapshot of the machine, which takes 5 MB: "
      "give 5 or more, or 0 for no history\n"))
      << too_small.err;

  start("demo.z64", {"--history-mb", "0"});
  CliResult session = gdb(
      {"set endian big", target, "reverse-stepi", "maint packet bs", "maint packet bc", "kill"});
  EXPECT_TRUE(holds_in_order(session.err, {"Target remote does not support this command."}));
  EXPECT_TRUE(holds_in_order(
      session.out, {"sending: bs\nreceived: \"\"\n", "sending: bc\nreceived: \"\"\n", "killed"}));
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

// The C sample on the complete model, at source level as the README shows it: into and out of
// functions, a local and arrays, the stack, and back through the history.
TEST_F(GdbServer, TheCSampleDebuggedBySourceLineForwardsAndBackwards) {
  start("sorting.z64", {"--cpu", "r4300i"});
  CliResult session = gdb({"file " + sample("sorting.elf"),
                           target,
                           "break main",
                           "continue",
                           "next",
                           "step",
                           "print count",
                           "print *v@count",
                           "bt",
                           "finish",
                           "print values",
                           "next",
                           "print checksum",
                           "step",
                           "step",
                           "step",
                           "bt",
                           "reverse-step",
                           "reverse-step",
                           "reverse-next",
                           "print fibonacci_10",
                           "print checksum",
                           "next",
                           "next",
                           "print fibonacci_10",
                           "kill"});
  EXPECT_TRUE(holds_in_order(session.out, {"Breakpoint 1, main () at ",
                                           "sort(values, kCount);",
                                           "sort (v=0x80",
                                           " <values>, count=8)",
                                           "$1 = 8\n",
                                           "$2 = {42, 7, 91, 3, 58, 19, 23, 11}\n",
                                           "#0  sort (",
                                           "#1  0x",
                                           " in main () ",
                                           "main () at ",
                                           "$3 = {3, 7, 11, 19, 23, 42, 58, 91}\n",
                                           "fibonacci_10 = fibonacci(10);",
                                           "$4 = 1627\n",
                                           "fibonacci (n=10)",
                                           "fibonacci (n=9)",
                                           "#0  fibonacci (n=9)",
                                           "#1  0x",
                                           " in fibonacci (n=10)",
                                           "#2  0x",
                                           " in main () ",
                                           "main () at ",
                                           "$5 = 0\n",
                                           "$6 = 1627\n",
                                           "$7 = 55\n",
                                           "[Inferior 1 (Remote target) killed]"}))
      << session.err;
  EXPECT_EQ(server->wait(), 0);
}

// The C sample with floats and doubles: values in the FPU's registers, as gdb's o32 support finds
// a double in a pair of them with FR clear, and FCSR and FIR.
TEST_F(GdbServer, TheFloatingPointSampleShowsTheFpusRegisters) {
  start("floating.z64", {"--cpu", "r4300i"});
  CliResult session = gdb({"file " + sample("floating.elf"), target, "break square_root",
                           "continue", "print area", "finish", "print $f0", "print/x $f12", "next",
                           "next", "print thousandths", "print/x $fcsr", "info float", "kill"});
  EXPECT_TRUE(holds_in_order(
      session.out, {"Breakpoint 1, square_root (x=2)", "$1 = 12.566371\n",
                    "Value returned is $2 = 1.4142135623730949\n", "$3 = 1.4142135623730949\n",
                    "$4 = 0x4000000000000000\n", "$5 = 1414\n",
                    "$6 = 0x801004\n",  // C, inexact's cause and flag
                    "rounding: nearest", "f12: 0x4000000000000000",
                    "f13: 0x0000000040000000",  // the pair's high half
                    "fir: 0xb00"}))
      << session.out << session.err;
  EXPECT_EQ(server->wait(), 0);
}

TEST_F(GdbServer, AClientThatStopsReadingIsDroppedAndTheServerStillEndsWhenAsked) {
  const std::string port = start("demo.z64");
  RawClient stuck(port);
  stuck.ask_without_reading(20000);
  // The next client is served once the first has been dropped for leaving its answers unread
  // (and refused while the server still reads the first: it then tries again).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::unique_ptr<RawClient> next;
  bool served = false;
  while (!served && std::chrono::steady_clock::now() < deadline) {
    next = std::make_unique<RawClient>(port);
    served = next->ask(RawClient::packet("?"), "$T05", deadline);
  }
  EXPECT_TRUE(served);
  // A server waiting for a client to read still ends when asked to.
  next->ask_without_reading(20000);
  ::kill(server->pid(), end_request_signal());
  EXPECT_EQ(server->wait(), 0);
}

}  // namespace

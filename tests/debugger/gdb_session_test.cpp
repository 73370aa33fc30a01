// The gdb session over a scripted client: acknowledgements, the packets that read and change the
// machine, and how runs stop and end.
#include "debugger/gdb/gdb_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cpu/cpu_state.h"
#include "machine/debug_access.h"
#include "machine/execution.h"
#include "tests/support/core_fixture.h"
#include "tests/support/program_rom.h"
#include "tests/support/scripted_connection.h"

namespace {

using Chunks = std::vector<std::string>;

std::string packets(std::initializer_list<std::string_view> payloads) {
  std::string bytes;
  for (std::string_view payload : payloads) bytes += frame_packet(payload);
  return bytes;
}

// Waits the client grants a run to stop by itself before it sends anything more; a run that has
// stopped meanwhile takes the rest of them as no wait at all.
void let_run_stop(Chunks& chunks) {
  chunks.insert(chunks.end(), 200, "");
}

class GdbSessionTest : public CoreTest {
 protected:
  void load(const std::string& source) { ASSERT_EQ(load_program_rom(dir, source), 1); }

  // Serves the client's chunks and returns what the session sent.
  std::string serve(Chunks chunks, SessionEnd expected = SessionEnd::disconnected) {
    ScriptedConnection client(std::move(chunks));
    GdbSession session(client);
    EXPECT_EQ(session.serve(), expected);
    EXPECT_FALSE(execution.has_run_thread());
    EXPECT_TRUE(user_breakpoints.empty());
    return client.sent;
  }

  TempDir dir;
};

TEST_F(GdbSessionTest, AcknowledgesUntilNoAckModeAndRecoversFromBadInput) {
  load("nop");
  const std::string supported =
      frame_packet("PacketSize=1000;QStartNoAckMode+;qXfer:features:read+;swbreak+");
  const std::string sent = serve(
      {packets({"qSupported:multiprocess+;swbreak+"}) + "$?#00" + "-" +
       packets({"vMustReplyEmpty", "QStartNoAckMode"}) + "$?#00-" + packets({"?", "Hg0", "D"})},
      SessionEnd::detached);
  EXPECT_EQ(sent, "+" + supported + "-" + supported + "+$#00" + "+$OK#9a" +
                      packets({"T05thread:1;", "OK", "OK"}));

  EXPECT_EQ(serve({packets({"k"})}, SessionEnd::killed), "+");
  EXPECT_EQ(serve({packets({"vKill;1"})}, SessionEnd::killed), "+$OK#9a");
}

TEST_F(GdbSessionTest, ReadsAndChangesTheMachineAsGdbAddressesIt) {
  // Two steps leave the branch's delay slot at 0x04000048 pending.
  load("addiu $t0, $zero, 1\n beq $zero, $zero, target\n addiu $t1, $zero, 2\n nop\n target: nop");
  execution.step();
  execution.step();
  const std::string g = serve({packets({"QStartNoAckMode", "g"})}).substr(7);
  ASSERT_EQ(g.size(), 4 + 72 * 16u);
  EXPECT_EQ(g.substr(1 + 8 * 16, 16), "0000000000000001");   // t0
  EXPECT_EQ(g.substr(1 + 37 * 16, 16), "0000000004000048");  // pc: the slot comes next
  EXPECT_EQ(g.substr(1 + 32 * 16, 16), "0000000070400004");  // status

  struct Case {
    std::string packet;
    std::string reply;
  };
  const Case cases[] = {
      {"G" + g.substr(1, 72 * 16), "OK"},  // writes back what it read: the slot stays pending
      {"p25", "0000000004000048"},
      {"P8=ffffffff80000000", "OK"},
      {"p8", "ffffffff80000000"},
      {"P8=FFFFFFFF80000001", "OK"},
      {"p8", "ffffffff80000001"},
      {"P46=00000000000000ff", "OK"},  // fcsr: dropped
      {"p46", "0000000000000000"},
      {"p48", "E01"},
      {"P48=0000000000000000", "E01"},
      {"P8=123", "E01"},
      {"G00", "E01"},
      // Memory by every address form gdb uses.
      {"Xffffffffa0000100,4:#$}*", "OK"},  // sent escaped
      {"m80000100,4", "23247d2a"},
      {"mffffffff80000102,2", "7d2a"},
      {"M100,2:beef", "OK"},
      {"ma0000100,2", "beef"},
      {"X100,0:", "OK"},            // gdb's probe for X
      {"m10000000,4", "80371240"},  // the cartridge reads the image,
      {"M10000000,1:00", "E01"},    // but takes no writes
      {"m7ff00000,4", "E01"},       // nothing there
      {"m3ffffe,4", "0000"},        // the part that is there
      {"M100,2:beex", "E01"},
      {"M100,3:beef", "E01"},
      {"mzz,4", "E01"},
      {"m100", "E01"},
      {"Z0,4000040", "E01"},
      {"Z1,4000040,4", ""},      // hardware breakpoints are not offered
      {"Z2,80001000,0", "E01"},  // watchpoints of 1 to 8 bytes
      {"Z3,80001000,9", "E01"},
      {"Z4,ffffffff80001000,8", "OK"},
      {"z4,ffffffff80001000,8", "OK"},
      {"qAttached", "1"},
      {"qXfer:features:read:other.xml:0,10", "E01"},
      // Writing pc anything but what it reads cancels the pending slot.
      {"P25=ffffffffa4000060", "OK"},
      {"p25", "ffffffffa4000060"},
  };
  std::string script = packets({"QStartNoAckMode"});
  std::string expected = "+$OK#9a";
  for (const Case& c : cases) {
    script += frame_packet(c.packet);
    expected += frame_packet(c.reply);
  }
  EXPECT_EQ(serve({script}), expected);
  EXPECT_TRUE(watchpoints.empty());
  EXPECT_EQ(cpu.pc, 0xA4000060u);
  EXPECT_EQ(cpu.delay_slot_pending, 0);

  // The whole target description, read in parts as gdb does.
  std::string description;
  for (unsigned offset = 0;; offset += 0x100) {
    char packet[64];
    std::snprintf(packet, sizeof packet, "qXfer:features:read:target.xml:%x,100", offset);
    std::string reply = serve({packets({"QStartNoAckMode", packet})}).substr(7);
    ASSERT_GE(reply.size(), 5u);
    description += reply.substr(2, reply.size() - 5);
    if (reply[1] == 'l') break;
    ASSERT_EQ(reply[1], 'm');
  }
  EXPECT_TRUE(description.starts_with("<?xml"));
  EXPECT_TRUE(description.ends_with("</target>\n"));
  EXPECT_NE(description.find("<architecture>mips:4300</architecture>"), std::string::npos);
}

// The machine keeps 64 watchpoints: one more is refused, which gdb reports, rather than slowing the
// run down unseen; what a client set goes with it.
TEST_F(GdbSessionTest, SixtyFourWatchpointsAtMost) {
  std::string script = packets({"QStartNoAckMode"});
  std::string expected = "+$OK#9a";
  for (unsigned n = 0; n <= Watchpoints::kMost; ++n) {
    char packet[32];
    std::snprintf(packet, sizeof packet, "Z2,%x,4", 0x80001000 + 8 * n);
    script += frame_packet(packet);
    expected += frame_packet(n < Watchpoints::kMost ? "OK" : "E01");
  }
  EXPECT_EQ(serve({script}), expected);
  EXPECT_TRUE(watchpoints.empty());
}

TEST_F(GdbSessionTest, RunsStopAsSignalsAndNoneOutlivesItsClient) {
  load(
      "loop: addiu $t0, $t0, 1\n beq $zero, $zero, loop\n addiu $t1, $t1, 1\n"  // 0x40
      "lui $t3, 0x0500\n lw $t2, 0($t3)\n"                                      // 0x4c
      "srl $t0, $t0, 1\n"                                                       // 0x54
      "j 0x040000B0");                                                          // 0x58
  Chunks chunks = {packets({"QStartNoAckMode", "qSupported:swbreak+", "Z0,4000048,4", "c"})};
  let_run_stop(chunks);
  chunks.push_back(packets({"p25", "z0,4000048,4", "s", "p25", "c400004c"}));
  let_run_stop(chunks);
  chunks.push_back(packets({"C05;4000054"}));
  let_run_stop(chunks);
  chunks.push_back(packets({"vCont;c:1"}));  // on after the unhandled word, to the breakpoint
  let_run_stop(chunks);
  chunks.push_back(packets({"P25=0000000004000058", "vCont;C05:1"}));
  let_run_stop(chunks);
  chunks.push_back(packets({"?", "c4000040"}));
  chunks.insert(chunks.end(), {"", "", "", "\x03"});
  let_run_stop(chunks);
  chunks.push_back(packets({"p25", "Z0,4000080,4", "vCont;c"}));  // and then the client goes

  std::string replies = serve(chunks).substr(7);
  const std::string supported =
      frame_packet("PacketSize=1000;QStartNoAckMode+;qXfer:features:read+;swbreak+");
  ASSERT_TRUE(replies.starts_with(supported + packets({"OK"})));
  replies.erase(0, supported.size() + 6);

  const std::string before_interrupt =
      packets({"T05swbreak:;thread:1;", "0000000004000048", "OK", "T05thread:1;",
               "0000000004000040", "T0bthread:1;", "T04thread:1;", "T05thread:1;", "OK",
               "T05thread:1;", "T05thread:1;", "T02thread:1;"});
  ASSERT_TRUE(replies.starts_with(before_interrupt)) << replies;
  // The interrupt stopped the loop, but never between its branch and the delay slot.
  const std::string pc = replies.substr(before_interrupt.size() + 1, 16);
  EXPECT_TRUE(pc == "0000000004000040" || pc == "0000000004000044") << pc;
  EXPECT_EQ(cpu.delay_slot_pending, 0);

  const auto messages = recorder.messages();
  ASSERT_EQ(messages.size(),
            4u + 1 + 2);  // a read error a byte, the unhandled word, the breakpoint
  EXPECT_EQ(messages[0].caption, "Memory Error: Read");
  EXPECT_EQ(messages[4].caption, "Unhandled Opcode");
  EXPECT_EQ(messages[5].caption, "Breakpoint Encountered");
  EXPECT_EQ(messages[6].caption, "Breakpoint Encountered");
}

}  // namespace

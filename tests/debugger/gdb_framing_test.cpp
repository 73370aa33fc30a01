// The gdb packet framing: what the reader makes of anything a client may send, and the packets
// the server sends.
#include "debugger/gdb/framing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// What the reader reports for `bytes`, in order: each packet's payload, "<bad>" for a bad packet
// and "<nak>" for a '-'.
std::vector<std::string> read_all(std::string_view bytes) {
  PacketReader reader;
  std::vector<std::string> events;
  for (char c : bytes) {
    ByteEvent event = reader.feed(static_cast<uint8_t>(c));
    if (event == ByteEvent::packet) events.push_back(reader.payload());
    if (event == ByteEvent::bad_packet) events.push_back("<bad>");
    if (event == ByteEvent::nak) events.push_back("<nak>");
  }
  return events;
}

// `raw` between '$' and '#', followed by the checksum of its bytes as they stand.
std::string packet(std::string_view raw) {
  unsigned sum = 0;
  for (char c : raw) sum += static_cast<uint8_t>(c);
  char checksum[3];
  std::snprintf(checksum, sizeof checksum, "%02x", sum & 0xff);
  return "$" + std::string(raw) + "#" + checksum;
}

using Events = std::vector<std::string>;
using namespace std::string_literals;

TEST(GdbFraming, TheReaderFindsPacketsAmidNoiseAndRejectsWhatItCannotTrust) {
  const std::string longest(kMaxPacketSize, 'm');
  struct Case {
    std::string bytes;
    Events events;
  };
  const Case cases[] = {
      {"$g#67", {"g"}},                                   // as gdb sends it
      {"+$?#3F+$D#44", {"?", "D"}},                       // acknowledgements between packets
      {"$g#68$g#67", {"<bad>", "g"}},                     // a wrong checksum
      {"$g#6x$g#67$g#6", {"<bad>", "g"}},                 // unreadable; unfinished
      {"$g#67-", {"g", "<nak>"}},                         // the client wants the reply again
      {"\x03\xff\x00 noise\n$g#67\x03"s, {"g"}},          // Ctrl-C and garbage outside packets
      {"$m0,4$g#67", {"g"}},                              // cut short by the next packet
      {packet("X0,4:}\x03}\x04}]}\x0a"), {"X0,4:#$}*"}},  // escapes undone, summed as sent
      {packet("X0,2:}#\x03"), {"X0,2:\x03\x03"}},         // "}#" is an escaped 0x03, not the end
      {packet(longest), {longest}},                       // the longest packet taken
      {packet(longest + "m") + "$g#67", {"<bad>", "g"}},  // one byte more, then the next packet
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes.substr(0, 40)));
    EXPECT_EQ(read_all(c.bytes), c.events);
  }
}

TEST(GdbFraming, PacketsSentEscapeWhatGdbWouldMisreadAndSurviveTheRoundTrip) {
  EXPECT_EQ(frame_packet("OK"), "$OK#9a");
  EXPECT_EQ(frame_packet(""), "$#00");
  // '*' would start run-length encoding in a reply.
  EXPECT_EQ(frame_packet("a*b#c$d}e"), packet("a}\x0a"
                                              "b}\x03"
                                              "c}\x04"
                                              "d}]e"));
  std::string every_byte;
  for (int byte = 0; byte < 256; ++byte) every_byte.push_back(static_cast<char>(byte));
  EXPECT_EQ(read_all(frame_packet(every_byte)), Events{every_byte});
}

}  // namespace

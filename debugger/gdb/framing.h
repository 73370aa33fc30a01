#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The longest packet taken from the client, advertised as PacketSize: a G packet with all 72
// registers needs 1153 bytes, and gdb splits memory writes to fit.
inline constexpr std::size_t kMaxPacketSize = 0x1000;

// What a byte from the client completed.
enum class ByteEvent : uint8_t {
  none,
  packet,      // a packet whose checksum matched, in `payload()` with its escapes undone
  bad_packet,  // a packet with a wrong or unreadable checksum, or too long to keep: answer '-'
  nak,         // '-': the client asks for the last reply again
};

// Splits the client's bytes into packets, `$payload#cc`. Outside a packet only '-' means anything
// ('+' acknowledges, and a Ctrl-C is looked for only while the target runs); a '$' inside a packet
// starts over, since the packet before it can never be completed.
class PacketReader {
 public:
  ByteEvent feed(uint8_t byte);
  const std::string& payload() const { return payload_; }

 private:
  enum class State : uint8_t { idle, data, escaped, checksum_high, checksum_low };

  State state_ = State::idle;
  std::string payload_;
  uint8_t sum_ = 0;
  uint8_t received_sum_ = 0;
  bool too_long_ = false;
};

// `payload` as a packet: '$', the payload with '#', '$', '}' and '*' escaped (gdb would take a
// bare '*' in a reply for run-length encoding), '#' and the checksum.
std::string frame_packet(std::string_view payload);

#include "machine/devices/joybus.h"

#include <algorithm>

namespace {

constexpr uint32_t kCommandByte = kPifRamBytes - 1;
constexpr uint8_t kEnd = 0xFE;
constexpr uint8_t kNothing = 0xFF;
constexpr uint8_t kCountBits = 0x3F;
constexpr uint8_t kPassesChannel = 0xC0;
constexpr uint8_t kNoDevice = 0x80;
constexpr uint8_t kWrongLength = 0x40;

// The commands a standard controller answers, and what it answers.
constexpr uint8_t kInfo = 0x00;
constexpr uint8_t kControllerState = 0x01;
constexpr uint8_t kResetAndInfo = 0xFF;
constexpr uint32_t kMostAnswer = 4;
// A controller (0x0500) with no pak in it.
constexpr uint8_t kControllerInfo[] = {0x05, 0x00, 0x02};

struct Answer {
  uint8_t bytes[kMostAnswer];
  uint32_t length;
};

bool answer(uint8_t command, const StandardController& controller, Answer& out) {
  switch (command) {
    case kInfo:
    case kResetAndInfo:
      std::copy(std::begin(kControllerInfo), std::end(kControllerInfo), out.bytes);
      out.length = sizeof kControllerInfo;
      return true;
    case kControllerState:
      out.bytes[0] = static_cast<uint8_t>(controller.buttons >> 8);
      out.bytes[1] = static_cast<uint8_t>(controller.buttons);
      out.bytes[2] = static_cast<uint8_t>(controller.stick_x);
      out.bytes[3] = static_cast<uint8_t>(controller.stick_y);
      out.length = 4;
      return true;
    default:
      return false;
  }
}

}  // namespace

uint32_t run_joybus_commands(PifRam& ram, const StandardController& controller) {
  uint32_t carried = 0;
  uint32_t channel = 0;
  uint32_t at = 0;
  while (at < kCommandByte) {
    const uint8_t first = ram[at];
    if (first == kEnd) break;
    ++at;
    if (first == kNothing) continue;
    if (first == 0 || (first & kPassesChannel) != 0) {
      ++channel;
      continue;
    }
    const uint32_t sent = first & kCountBits;
    const uint32_t receive_count = at;
    const uint32_t received = ram[receive_count] & kCountBits;
    const uint32_t data = receive_count + 1;
    if (data + sent + received > kCommandByte) break;
    Answer reply{};
    if (channel == 0 && answer(ram[data], controller, reply)) {
      const uint32_t length = std::min(reply.length, received);
      std::copy(reply.bytes, reply.bytes + length, ram.begin() + data + sent);
      if (reply.length != received) ram[receive_count] |= kWrongLength;
      carried += sent + length;
    } else {
      ram[receive_count] |= kNoDevice;
      carried += sent;
    }
    at = data + sent + received;
    ++channel;
  }
  return carried;
}

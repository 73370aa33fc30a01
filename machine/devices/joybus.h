#pragma once

#include <array>
#include <cstdint>

// The joybus commands a block of PIF RAM holds, as the PIF runs them (n64brew "PIF-NUS" and
// "Joybus Protocol", LaC's hardware notes). The block's bytes are read from the first: 0xFE ends
// it, 0xFF is nothing, 0xFD and 0x00 (and any byte with bit 7 or bit 6 set) pass over a channel;
// any other byte starts a command for the next channel: its low six bits count the bytes sent,
// the next byte's low six bits the bytes to receive, then come the bytes sent and the room for
// those received. A command that does not fit the block ends it. The last byte, the PIF's
// command byte, is never part of a command.
//
// Channel 0 (the first controller port) holds a standard controller; no other channel has a
// device, which each command there finds: bit 7 of its receive count is set and nothing is
// received. Bit 6 is set where the device answered more or fewer bytes than asked for.

inline constexpr uint32_t kPifRamBytes = 64;
using PifRam = std::array<uint8_t, kPifRamBytes>;

struct StandardController {
  uint16_t buttons = 0;
  int8_t stick_x = 0;
  int8_t stick_y = 0;
};

// Runs the block's commands in place; returns how many bytes went over the joybus lines.
uint32_t run_joybus_commands(PifRam& ram, const StandardController& controller);

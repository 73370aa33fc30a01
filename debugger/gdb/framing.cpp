#include "debugger/gdb/framing.h"

#include "debugger/gdb/hex.h"

ByteEvent PacketReader::feed(uint8_t byte) {
  if (byte == '$' && state_ != State::escaped) {
    state_ = State::data;
    payload_.clear();
    sum_ = 0;
    too_long_ = false;
    return ByteEvent::none;
  }
  switch (state_) {
    case State::idle:
      return byte == '-' ? ByteEvent::nak : ByteEvent::none;
    case State::data:
      if (byte == '#') {
        state_ = State::checksum_high;
        return ByteEvent::none;
      }
      sum_ += byte;
      if (byte == '}') {
        state_ = State::escaped;
        return ByteEvent::none;
      }
      break;
    case State::escaped:
      sum_ += byte;
      byte ^= 0x20;
      state_ = State::data;
      break;
    case State::checksum_high:
    case State::checksum_low: {
      std::optional<uint8_t> digit = hex_digit(static_cast<char>(byte));
      if (!digit) {
        state_ = State::idle;
        return ByteEvent::bad_packet;
      }
      received_sum_ = static_cast<uint8_t>(received_sum_ << 4 | *digit);
      if (state_ == State::checksum_high) {
        state_ = State::checksum_low;
        return ByteEvent::none;
      }
      state_ = State::idle;
      return received_sum_ == sum_ && !too_long_ ? ByteEvent::packet : ByteEvent::bad_packet;
    }
  }
  // A packet too long to keep is still read to its end, so that the next one is found.
  if (payload_.size() < kMaxPacketSize) {
    payload_.push_back(static_cast<char>(byte));
  } else {
    too_long_ = true;
  }
  return ByteEvent::none;
}

std::string frame_packet(std::string_view payload) {
  std::string packet = "$";
  uint8_t sum = 0;
  auto put = [&](char c) {
    packet.push_back(c);
    sum += static_cast<uint8_t>(c);
  };
  for (char c : payload) {
    if (c == '#' || c == '$' || c == '}' || c == '*') {
      put('}');
      put(static_cast<char>(c ^ 0x20));
    } else {
      put(c);
    }
  }
  packet.push_back('#');
  append_hex_byte(packet, sum);
  return packet;
}

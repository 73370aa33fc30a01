#include "debugger/gdb/machine_packets.h"

#include <algorithm>
#include <optional>

#include "debugger/gdb/framing.h"
#include "debugger/gdb/hex.h"
#include "debugger/gdb/register_layout.h"
#include "debugger/gdb/target_description.h"
#include "machine/debug_access.h"

namespace {

constexpr const char* kError = "E01";

// Reads of any length gdb names are answered in part past this, which the protocol allows; the
// whole reply then still fits in a packet gdb takes.
constexpr uint64_t kMaxReadLength = kMaxPacketSize / 2;

struct Range {
  uint32_t address;
  uint64_t length;
};

// "ADDR,LENGTH", both hex.
std::optional<Range> parse_range(std::string_view text) {
  auto parts = split_at(text, ',');
  if (!parts) return std::nullopt;
  std::optional<uint32_t> address = parse_address(parts->first);
  std::optional<uint64_t> length = parse_hex(parts->second);
  if (!address || !length) return std::nullopt;
  return Range{*address, *length};
}

std::optional<int> parse_register_number(std::string_view text) {
  std::optional<uint64_t> number = parse_hex(text);
  if (!number || *number >= kGdbRegisterCount) return std::nullopt;
  return static_cast<int>(*number);
}

// A register's 16 hex digits, in the target's byte order.
std::optional<uint64_t> parse_register_value(std::string_view text) {
  return text.size() == 16 ? parse_hex(text) : std::nullopt;
}

std::string read_registers() {
  std::string reply;
  for (int n = 0; n < kGdbRegisterCount; ++n) append_hex_u64(reply, read_gdb_register(n));
  return reply;
}

std::string write_registers(std::string_view values) {
  if (values.size() != 16 * kGdbRegisterCount) return kError;
  uint64_t parsed[kGdbRegisterCount];
  for (int n = 0; n < kGdbRegisterCount; ++n) {
    std::optional<uint64_t> value = parse_register_value(values.substr(16 * n, 16));
    if (!value) return kError;
    parsed[n] = *value;
  }
  for (int n = 0; n < kGdbRegisterCount; ++n) write_gdb_register(n, parsed[n]);
  return "OK";
}

std::string read_one_register(std::string_view text) {
  std::optional<int> number = parse_register_number(text);
  if (!number) return kError;
  std::string reply;
  append_hex_u64(reply, read_gdb_register(*number));
  return reply;
}

std::string write_one_register(std::string_view text) {
  auto parts = split_at(text, '=');
  if (!parts) return kError;
  std::optional<int> number = parse_register_number(parts->first);
  std::optional<uint64_t> value = parse_register_value(parts->second);
  if (!number || !value) return kError;
  write_gdb_register(*number, *value);
  return "OK";
}

// As many bytes from the start as are mapped; an error when the first is not.
std::string read_memory(std::string_view text) {
  std::optional<Range> range = parse_range(text);
  if (!range) return kError;
  std::string reply;
  for (uint64_t i = 0; i < std::min(range->length, kMaxReadLength); ++i) {
    std::optional<uint8_t> byte = peek(range->address + static_cast<uint32_t>(i));
    if (!byte) break;
    append_hex_byte(reply, *byte);
  }
  return reply.empty() && range->length != 0 ? kError : reply;
}

// "ADDR,LENGTH:DATA", the data as hex digits (M) or as bytes (X, its escapes already undone).
std::string write_memory(std::string_view text, bool binary) {
  auto parts = split_at(text, ':');
  if (!parts) return kError;
  std::optional<Range> range = parse_range(parts->first);
  std::string_view data = parts->second;
  const std::size_t width = binary ? 1 : 2;  // characters a byte
  if (!range || data.size() % width != 0 || data.size() / width != range->length) return kError;
  for (uint64_t i = 0; i < range->length; ++i) {
    std::optional<uint64_t> byte =
        binary ? static_cast<uint8_t>(data[i]) : parse_hex(data.substr(2 * i, 2));
    if (!byte || !poke(range->address + static_cast<uint32_t>(i), static_cast<uint8_t>(*byte))) {
      return kError;
    }
  }
  return "OK";
}

// What a Z or z packet's type asks for: a software breakpoint (0), or a write (2), read (3) or
// access (4) watchpoint. Hardware breakpoints (1) are not offered.
std::optional<WatchKind> watch_kind(std::string_view type) {
  if (type == "2") return WatchKind::write;
  if (type == "3") return WatchKind::read;
  if (type == "4") return WatchKind::access;
  return std::nullopt;
}

// "TYPE,ADDR,KIND" with optional conditions after a ';', which are ignored. KIND is a
// watchpoint's length in bytes. More watchpoints than the machine keeps get an error, which gdb
// reports, rather than a silent slow-down.
std::string change_breakpoint(std::string_view text, bool insert) {
  auto type = split_at(text, ',');
  if (!type) return kError;
  const std::optional<WatchKind> kind = watch_kind(type->first);
  if (type->first != "0" && !kind) return "";
  auto address_and_kind = split_at(type->second.substr(0, type->second.find(';')), ',');
  if (!address_and_kind) return kError;
  std::optional<uint32_t> address = parse_address(address_and_kind->first);
  std::optional<uint64_t> length = parse_hex(address_and_kind->second);
  if (!address || !length) return kError;
  if (kind) {
    if (*length < 1 || *length > 8) return kError;
    const Watchpoint watchpoint{*address, static_cast<uint32_t>(*length), *kind};
    if (insert) return set_watchpoint(watchpoint) ? "OK" : kError;
    remove_watchpoint(watchpoint);
    return "OK";
  }
  if (insert) {
    insert_user_breakpoint(*address);
  } else {
    erase_user_breakpoint(*address);
  }
  return "OK";
}

// "ANNEX:OFFSET,LENGTH" of the target description; 'm' when more follows, 'l' for the last part.
std::string read_features(std::string_view text) {
  auto parts = split_at(text, ':');
  if (!parts || parts->first != "target.xml") return kError;
  auto offset_and_length = split_at(parts->second, ',');
  if (!offset_and_length) return kError;
  std::optional<uint64_t> offset_asked = parse_hex(offset_and_length->first);
  std::optional<uint64_t> length_asked = parse_hex(offset_and_length->second);
  if (!offset_asked || !length_asked) return kError;
  const std::string& xml = target_description();
  std::size_t offset = std::min<uint64_t>(*offset_asked, xml.size());
  std::size_t length = std::min<uint64_t>(*length_asked, kMaxReadLength);
  std::string_view part = std::string_view(xml).substr(offset, length);
  // Appended rather than "m" + part: GCC 12 warns wrongly (-Wrestrict) of the sum's copy.
  std::string reply = offset + part.size() < xml.size() ? "m" : "l";
  return reply.append(part);
}

std::string query_reply(std::string_view packet) {
  if (packet == "qAttached" || packet.starts_with("qAttached:")) return "1";
  // The processor is the one thread, number 1, as the stop replies name it.
  if (packet == "qC") return "QC1";
  if (packet == "qfThreadInfo") return "m1";
  if (packet == "qsThreadInfo") return "l";
  constexpr std::string_view kFeatures = "qXfer:features:read:";
  if (packet.starts_with(kFeatures)) return read_features(packet.substr(kFeatures.size()));
  return "";
}

}  // namespace

std::string machine_packet_reply(std::string_view packet) {
  if (packet.empty()) return "";
  std::string_view rest = packet.substr(1);
  switch (packet.front()) {
    case 'g':
      return rest.empty() ? read_registers() : kError;
    case 'G':
      return write_registers(rest);
    case 'p':
      return read_one_register(rest);
    case 'P':
      return write_one_register(rest);
    case 'm':
      return read_memory(rest);
    case 'M':
      return write_memory(rest, false);
    case 'X':
      return write_memory(rest, true);
    case 'Z':
      return change_breakpoint(rest, true);
    case 'z':
      return change_breakpoint(rest, false);
    case 'q':
      return query_reply(packet);
    case 'H':  // the thread later packets are for, and
    case 'T':  // whether a thread is alive: always the one thread
      return "OK";
  }
  return "";
}

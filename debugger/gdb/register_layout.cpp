#include "debugger/gdb/register_layout.h"

#include <optional>

#include "machine/debug_access.h"

namespace {

// The machine's register behind a gdb number; nothing for pc, which has none.
std::optional<RegisterNumber> machine_register(int number) {
  if (number < 32) return RegisterNumber{RegisterFile::gpr, static_cast<unsigned>(number)};
  if (number >= kGdbF0 && number < kGdbF0 + 32) {
    return RegisterNumber{RegisterFile::fpr, static_cast<unsigned>(number - kGdbF0)};
  }
  switch (number) {
    case kGdbStatus:
      return RegisterNumber{RegisterFile::cp0, 12};
    case kGdbLo:
      return RegisterNumber{RegisterFile::lo};
    case kGdbHi:
      return RegisterNumber{RegisterFile::hi};
    case kGdbBadVaddr:
      return RegisterNumber{RegisterFile::cp0, 8};
    case kGdbCause:
      return RegisterNumber{RegisterFile::cp0, 13};
    case kGdbFcsr:
      return RegisterNumber{RegisterFile::fcr, 31};
    case kGdbFir:
      return RegisterNumber{RegisterFile::fcr, 0};
  }
  return std::nullopt;
}

}  // namespace

uint64_t read_gdb_register(int number) {
  if (number == kGdbPc) {
    return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(next_fetch_address())));
  }
  std::optional<RegisterNumber> reg = machine_register(number);
  return reg ? read_register(*reg) : 0;
}

// gdb's pc is where the next instruction is fetched from.
void write_gdb_register(int number, uint64_t value) {
  if (number == kGdbPc) {
    set_next_fetch_address(static_cast<uint32_t>(value));
  } else if (std::optional<RegisterNumber> reg = machine_register(number)) {
    write_register(*reg, value);
  }
}

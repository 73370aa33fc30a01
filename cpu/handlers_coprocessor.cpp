#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/handler_support.h"
#include "cpu/handlers.h"

namespace {

constexpr uint8_t kMoveToCop0 = 4;      // rs of MTC0
constexpr uint8_t kCop1Conversion = 5;  // the one COP1 funct carried out
constexpr uint8_t kCop1FormatS = 16;    // the two formats it converts
constexpr uint8_t kCop1FormatW = 20;

// Truncated toward zero; a NaN or a value outside the signed 64-bit range gives the most negative
// value. Both bounds are exact doubles, and a NaN fails both comparisons.
int64_t truncate_to_int64(double value) {
  if (!(value >= -0x1p63 && value < 0x1p63)) return INT64_MIN;
  return static_cast<int64_t>(value);
}

// The magnitude of the low 32 bits of the truncated value, as a double. Negated in unsigned
// arithmetic so that the most negative 32-bit value stays as it is.
double integral_magnitude(double value) {
  uint32_t low = static_cast<uint32_t>(truncate_to_int64(value));
  uint32_t magnitude = (low & 0x80000000u) ? 0u - low : low;
  return static_cast<double>(static_cast<int32_t>(magnitude));
}

}  // namespace

// Only MTC0 is carried out; every other COP0 word changes nothing and runs again.
int32_t exec_cop0(InstrFields f, const char* name) {
  if (f.rs() != kMoveToCop0) return exec_no_advance(f, name);
  cpu.cp0[f.rd()] = cpu.gpr[f.rt()];
  return advance();
}

// For COP1 words rs is the format, rd the source register fs and sa the destination fd.
int32_t exec_cop1(InstrFields f, const char*) {
  if (f.funct() != kCop1Conversion) {
    cpu.opcode_name.set("Unknown CP");
    return kNotCarriedOut;
  }
  if (f.rs() == kCop1FormatS || f.rs() == kCop1FormatW) {
    cpu.fpr[f.sa()] = integral_magnitude(cpu.fpr[f.rd()]);
  }
  return advance();
}

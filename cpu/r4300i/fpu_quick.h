#pragma once

#include <cstdint>
#include <optional>

#include "cpu/r4300i/fpu_values.h"

// The FPU's common cases computed without reading or writing the host's MXCSR, which costs several
// times the operation itself: rounding to nearest on a host that does so too, operands that are
// zeros or normal numbers, a result that is one too, far from an overflow or an underflow. Whether
// the result is inexact comes from the operation's exact error, which the host computes without
// rounding (an error-free transformation), not from the host's flags. Each gives the outcome the
// host environment's way gives, or none where it cannot tell, and that way then computes it.
namespace r4300i::fpu::quick {

std::optional<Outcome> arithmetic(Operation op, Format fmt, uint64_t a, uint64_t b, uint32_t fcsr);

// CVT between S and D, and from W to S or D.
std::optional<Outcome> convert(Format from, Format to, uint64_t value, Rounding rounding);

// Whether the host rounds to nearest, found by rounding: 1 and 3/4 of its last place goes up to
// the next double only when it rounds to nearest or up, and -1 less as much down only when it
// rounds to nearest or down. Reading MXCSR would tell as much, but costs more than the operation.
// Nothing else of the host's mode counts here: the quick way keeps away from subnormals.
bool host_rounds_to_nearest();

}  // namespace r4300i::fpu::quick

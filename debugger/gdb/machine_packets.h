#pragma once

#include <string>
#include <string_view>

// The reply to a packet that reads or changes the stopped machine: registers (g, G, p, P), memory
// (m, M, X), software breakpoints (Z0, z0), and the queries about the target (qAttached, the
// target description). Empty for a packet it does not know, which is how gdb is told so; `E01` for
// one it cannot carry out: malformed, or memory that maps to nothing.
std::string machine_packet_reply(std::string_view packet);

#pragma once

#include <cstdint>

// The machine's physical memory in bytes; 0 when the system does not tell.
uint64_t physical_memory_bytes();

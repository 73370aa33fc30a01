#pragma once

#include <cstdint>

// A byte at `physical` in a code page has been stored into, by the memory map, a debugger's poke
// or either engine's own stores: both engines drop what they made from it. True when translated
// blocks were dropped.
bool code_stored(uint32_t physical);

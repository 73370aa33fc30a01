#pragma once

#include <cstdint>

// A byte at `physical` in a code page has been stored into, by the memory map, a debugger's poke
// or either engine's own stores: both engines drop what they made from it. True when translated
// blocks were dropped.
bool code_stored(uint32_t physical);

// Both engines drop everything they made (a run starts or resumes after a pause: the window thread
// may have written memory or changed the user breakpoints meanwhile).
void forget_all_code();

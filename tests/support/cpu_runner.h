#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Executing words in tests with the run loop's own fetch: from the pending delay slot or from pc,
// then executed. The counting and the stop conditions of the run loop are not part of it.

// Stores the words big-endian from `address` on, through the byte writes.
void place_words(uint32_t address, const std::vector<uint32_t>& words);

// Assembles `source`, places it at `address` and points pc at it. Returns the number of words,
// which includes the zero words the assembler pads its section with.
std::size_t load_program(uint32_t address, const std::string& source);

// Fetches and executes one word; returns the result of `execute_instruction`.
int32_t step();

// Steps `count` times; returns the result of the last step.
int32_t step(int count);

// Executes `word` where pc stands, without a fetch.
int32_t execute_word(uint32_t word);

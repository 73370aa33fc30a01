#include "tests/support/cpu_runner.h"

#include "cpu/cpu_state.h"
#include "cpu/interpreter.h"
#include "machine/engines/execute_from.h"
#include "memory/memory_map.h"
#include "tests/support/mips_assembler.h"

void place_words(uint32_t address, const std::vector<uint32_t>& words) {
  for (uint8_t byte : to_bytes(words)) mem_write_byte(address++, byte);
}

std::size_t load_program(uint32_t address, const std::string& source) {
  std::vector<uint32_t> words = assemble(source);
  place_words(address, words);
  cpu.pc = address;
  return words.size();
}

int32_t step() {
  FetchWindow fetch;
  return fetch_and_execute(fetch, nullptr);
}

int32_t step(int count) {
  int32_t result = 0;
  for (int i = 0; i < count; ++i) result = step();
  return result;
}

int32_t execute_word(uint32_t word) {
  cpu.current_instruction = word;
  return execute_instruction();
}

#pragma once

#include <cstdint>
#include <vector>

// Addresses a run stops before executing, as fetched (a delay slot's too). Empty unless a debugger
// fills it. What a run reads may change only while no instruction executes: debug builds check
// every change against the run loop's controller.
class UserBreakpoints {
 public:
  void insert(uint32_t address);
  void erase(uint32_t address);
  void clear();
  bool empty() const { return addresses_.empty(); }
  bool contains(uint32_t address) const;
  const std::vector<uint32_t>& addresses() const { return addresses_; }

  // Whether the word at `physical` is fetched from a breakpoint at any of its addresses: the
  // engines leave it to the exact path, which stops before it.
  bool holds_word(uint32_t physical) const;

 private:
  std::vector<uint32_t> addresses_;  // sorted
};

// The machine object owns them: machine/object/machine.h.
extern UserBreakpoints& user_breakpoints;

#include "machine/stops/user_breakpoints.h"

#include <algorithm>
#include <cassert>

#include "machine/stops/stop_hooks.h"
#include "memory/memory_map.h"

void UserBreakpoints::insert(uint32_t address) {
  assert(run_parked());
  auto at = std::lower_bound(addresses_.begin(), addresses_.end(), address);
  if (at == addresses_.end() || *at != address) addresses_.insert(at, address);
}

void UserBreakpoints::erase(uint32_t address) {
  assert(run_parked());
  auto at = std::lower_bound(addresses_.begin(), addresses_.end(), address);
  if (at != addresses_.end() && *at == address) addresses_.erase(at);
}

void UserBreakpoints::clear() {
  assert(run_parked());
  addresses_.clear();
}

bool UserBreakpoints::contains(uint32_t address) const {
  return std::binary_search(addresses_.begin(), addresses_.end(), address);
}

bool UserBreakpoints::holds_word(uint32_t physical) const {
  for (uint32_t address : addresses_) {
    if ((address & 3) == 0 && translate_address(address) == physical) return true;
  }
  return false;
}

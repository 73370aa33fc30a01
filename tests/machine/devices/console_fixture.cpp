#include "tests/machine/devices/console_fixture.h"

#include <algorithm>

#include "memory/memory_map.h"

void ConsoleTest::SetUp() {
  CoreTest::SetUp();
  device_map = DeviceMap{};
  console_devices.map_into(device_map);
  console_devices.reset(TvType::ntsc);
  memory_hooks.console_output = &watched;
  memory_hooks.dma_watch = &watched;
}

void ConsoleTest::TearDown() {
  memory_hooks.console_output = nullptr;
  memory_hooks.dma_watch = nullptr;
  CoreTest::TearDown();
}

void ConsoleTest::store_word(uint32_t address, uint32_t value) {
  for (uint32_t k = 0; k < 4; ++k)
    mem_write_byte(address + k, static_cast<uint8_t>(value >> (24 - 8 * k)));
}

uint32_t ConsoleTest::load_word(uint32_t address) {
  uint32_t value = 0;
  for (uint32_t k = 0; k < 4; ++k) value = value << 8 | mem_read_byte(address + k);
  return value;
}

void ConsoleTest::advance_to(uint64_t now) {
  while (scheduler.next <= now) {
    scheduler.now = scheduler.next;
    Event event;
    while (scheduler.take_due(event)) console_devices.take_device_event(event);
  }
  scheduler.now = now;
}

void ConsoleTest::settle() {
  for (;;) {
    uint64_t first = Scheduler::kNever;
    for (Event event : {Event::pi_dma, Event::si_dma, Event::sp_dma}) {
      first = std::min(first, scheduler.due[static_cast<std::size_t>(event)]);
    }
    if (first == Scheduler::kNever) return;
    advance_to(first);
  }
}

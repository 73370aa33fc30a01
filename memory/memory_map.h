#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "memory/storage.h"

// One range of physical addresses, bounds inclusive, and the storage that serves it (none for the
// cartridge, which is served from the open ROM image).
struct MemoryRegion {
  uint32_t first;
  uint32_t last;
  uint8_t* storage;
};

inline constexpr uint32_t kCartridgeFirst = 0x10000000;
inline constexpr uint32_t kCartridgeLast = 0x1FBFFFFF;

// KSEG0 and KSEG1 map onto the physical addresses below 0x20000000; every other address is taken
// as physical unchanged.
constexpr uint32_t translate_address(uint32_t address) {
  if (address >= 0x80000000u && address <= 0x9FFFFFFFu) return address - 0x80000000u;
  if (address >= 0xA0000000u && address <= 0xBFFFFFFFu) return address - 0xA0000000u;
  return address;
}

// The storage region holding a physical address, searched in table order (RDRAM first); null for
// the cartridge range and for unmapped addresses.
const MemoryRegion* find_storage_region(uint32_t physical);

// The processor's only access to emulated memory, one byte at a time. An unhandled address goes to
// the fault sink: a read then yields 0, a write stores nothing. Reads in the cartridge range take
// the next byte of the open ROM image.
uint8_t mem_read_byte(uint64_t address);
void mem_write_byte(uint32_t address, uint8_t value);

// RDRAM and the signal processor's two memories: the storage instructions are decoded from, in
// pages of 4 KB: RDRAM's 1024, then SP DMEM and SP IMEM.
inline constexpr int kCodePages = 1026;

// The code page holding a physical address; -1 outside RDRAM and the SP memories.
inline int code_page_index(uint32_t physical) {
  if (physical <= 0x003FFFFF) return static_cast<int>(physical >> 12);
  uint32_t sp = physical - 0x04000000u;
  if (sp <= 0x1FFF) return 1024 + static_cast<int>(sp >> 12);
  return -1;
}

inline bool holds_code(uint32_t physical) {
  return code_page_index(physical) >= 0;
}

// The first byte of a code page, and its physical address.
uint8_t* code_page_storage(int index);
uint32_t code_page_physical(int index);

// Which code pages have been stored into since their marks were last cleared, by anyone: the
// memory map, a debugger's poke and the engines' own stores all mark them. Whoever keeps copies of
// memory (the history that steps backwards) clears the marks it has taken, and says that it reads
// them meanwhile: translated code, made afresh for each run, marks pages only while someone does.
extern uint8_t code_page_written[kCodePages];
extern bool code_page_marks_wanted;

// Which code pages an engine holds decoded or translated copies of words from: a store there has
// the engines drop the copies it touches. Set by the engines, through `mark_code_page_copied`, and
// cleared all together when they drop everything.
extern uint8_t code_page_copied[kCodePages];

// How many of RDRAM's pages are marked copied: while none is, a store into RDRAM has no copies to
// look for.
extern uint32_t rdram_pages_copied;

inline void mark_code_page_copied(int index) {
  if (code_page_copied[index]) return;
  code_page_copied[index] = 1;
  if (index < code_page_index(0x04000000)) ++rdram_pages_copied;
}

void clear_code_page_copied();

// Told of every byte stored into a code page an engine holds copies from, by the processor or a
// debugger, so that the copies of the word it changes are dropped. True when the watcher dropped
// translated code.
class CodeWriteWatcher {
 public:
  virtual ~CodeWriteWatcher() = default;
  virtual bool code_written(uint32_t physical) = 0;
};

// Null for none.
void set_code_write_watcher(CodeWriteWatcher* watcher);

// Tells the watcher of a store at `physical` in a code page marked copied, as the memory map does
// for its own stores: for the engines' stores, which bypass it.
bool report_code_write(uint32_t physical);

// Told of every byte a data access of the processor's touches (loads and stores, cartridge reads
// and addresses that map to nothing too), by its physical address, while one is installed: the
// machine installs one around the instructions it watches, so that instruction fetches and a
// debugger's windows never count.
class DataWatch {
 public:
  virtual ~DataWatch() = default;
  virtual void data_read(uint32_t physical) = 0;
  virtual void data_written(uint32_t physical) = 0;
};

// Null for none.
void set_data_watch(DataWatch* watch);

// A debugger's view of the same bytes, without side effects: no message, no cartridge file
// position moved. The cartridge range reads the image byte at the address's offset into the range.
// Empty (or false) for an address that maps to nothing, and for a poke of the cartridge.
std::optional<uint8_t> peek_byte(uint32_t address);
bool poke_byte(uint32_t address, uint8_t value);

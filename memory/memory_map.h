#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "memory/bus.h"
#include "memory/hooks.h"
#include "memory/storage.h"

// One range of physical addresses, bounds inclusive, and the storage that serves it (none for the
// cartridge, which is served from the open ROM image).
struct MemoryRegion {
  uint32_t first;
  uint32_t last;
  uint8_t* storage;
};

// The physical memory map: the memories the processor reaches directly, and the cartridge.
inline constexpr uint32_t kRdramFirst = 0x00000000;
inline constexpr uint32_t kSpDmemFirst = 0x04000000;
inline constexpr uint32_t kSpImemFirst = 0x04001000;
inline constexpr uint32_t kSpMemoryBytes = 0x1000;  // each of DMEM and IMEM
inline constexpr uint32_t kCartridgeFirst = 0x10000000;
inline constexpr uint32_t kCartridgeLast = 0x1FBFFFFF;

// The unmapped segments of the 32-bit address space: each shows the first 512 MB of physical
// addresses, KSEG0 through the cache and KSEG1 without it.
inline constexpr uint32_t kKseg0First = 0x80000000;
inline constexpr uint32_t kKseg1First = 0xA0000000;
inline constexpr uint32_t kSegmentBytes = 0x20000000;

// KSEG0 and KSEG1 map onto the physical addresses below 0x20000000; every other address is taken
// as physical unchanged.
constexpr uint32_t translate_address(uint32_t address) {
  if (address - kKseg0First < kSegmentBytes) return address - kKseg0First;
  if (address - kKseg1First < kSegmentBytes) return address - kKseg1First;
  return address;
}

// The memory holding a physical address (RDRAM, SP DMEM or SP IMEM); null elsewhere: the
// hardware registers are the devices' (memory/device.h).
const MemoryRegion* find_storage_region(uint32_t physical);

// The processor's only access to emulated memory, one byte at a time. A device's register byte is
// read or written through its device. An unhandled address goes to the fault sink: a read then
// yields 0, a write stores nothing. Reads in the cartridge range take the next byte of the open ROM
// image.
uint8_t mem_read_byte(uint64_t address);
void mem_write_byte(uint32_t address, uint8_t value);

// The same for a physical address the processor has found itself (the complete model, through its
// segments and TLB). A read error names `address`, as the program asked for it.
uint8_t read_physical_byte(uint32_t physical, uint64_t address);
// The four bytes from an aligned `physical` on, as a big-endian word: a device's register in one
// read of the whole register, as the hardware's 32-bit bus makes it; anything else byte by byte.
uint32_t read_physical_word(uint32_t physical, uint64_t address);
void write_physical_byte(uint32_t physical, uint8_t value);

// Until when the processor's read of the `bytes` from `physical` on has no side effects and gives
// the value it gives now, the next store and the machine's next event aside: for good in installed
// RDRAM, as their device says for registers (Device::read_steady_until), 0 elsewhere.
uint64_t reads_steady_until(uint32_t physical, uint32_t bytes);

// RDRAM and the signal processor's two memories: the storage instructions are decoded from, in
// pages of 4 KB: RDRAM's 2048 (of which the installed RDRAM's are in use), then SP DMEM and SP
// IMEM.
inline constexpr uint32_t kCodePageBytes = 0x1000;
inline constexpr int kRdramPages = kRdramExpansionBytes >> 12;
inline constexpr int kCodePages = kRdramPages + 2;

// The code page holding a physical address; -1 outside RDRAM and the SP memories.
inline int code_page_index(uint32_t physical) {
  if (physical - kRdramFirst < bus.rdram_bytes) return static_cast<int>(physical >> 12);
  uint32_t sp = physical - kSpDmemFirst;
  if (sp < 2 * kSpMemoryBytes) return kRdramPages + static_cast<int>(sp >> 12);
  return -1;
}

// Calls `visit` with the index of each code page the machine has, in order: the installed
// RDRAM's, then the SP memories'.
template <class Visit>
void for_each_code_page(Visit visit) {
  const int rdram_pages = static_cast<int>(bus.rdram_bytes >> 12);
  for (int index = 0; index < rdram_pages; ++index) visit(index);
  for (int index = kRdramPages; index < kCodePages; ++index) visit(index);
}

// How many code pages a machine with `rdram_bytes` of RDRAM has.
inline int code_pages_with(uint32_t rdram_bytes) {
  return static_cast<int>(rdram_bytes >> 12) + (kCodePages - kRdramPages);
}

inline bool holds_code(uint32_t physical) {
  return code_page_index(physical) >= 0;
}

// The first byte of a code page, and its physical address.
uint8_t* code_page_storage(int index);
uint32_t code_page_physical(int index);

// The engines' and the history's marks of the code pages, which the memory map keeps up to date
// with every store it makes (the machine object owns them: machine/object/machine.h).
struct CodePageMarks {
  // Which code pages have been stored into since their marks were last cleared, by anyone: the
  // memory map, a debugger's poke and the engines' own stores all mark them. Whoever keeps copies
  // of memory (the history that steps backwards) clears the marks it has taken, and says that it
  // reads them meanwhile: translated code, made afresh for each run, marks pages only while
  // someone does.
  uint8_t written[kCodePages];
  bool marks_wanted;
  // Which code pages an engine holds decoded or translated copies of words from: a store there has
  // the engines drop the copies it touches. Set by the engines, through `mark_code_page_copied`,
  // and cleared all together when they drop everything.
  uint8_t copied[kCodePages];
  // How many of RDRAM's pages are marked copied: while none is, a store into RDRAM has no copies
  // to look for.
  uint32_t rdram_pages_copied;
};

extern CodePageMarks& code_pages;

inline void mark_code_page_copied(int index) {
  if (code_pages.copied[index]) return;
  code_pages.copied[index] = 1;
  if (index < kRdramPages) ++code_pages.rdram_pages_copied;
}

void clear_code_page_copied();

// Marks the code page of the `bytes` just stored from `physical` on (all in one page) written, and
// tells the watcher of each when an engine holds copies from the page: after every store into
// RDRAM or an SP memory, the processor's, a debugger's and the DMA engines' alike.
void mark_stored(uint32_t physical, uint32_t bytes = 1);

// Tells the watcher of a store at `physical` in a code page marked copied, as the memory map does
// for its own stores: for the engines' stores, which bypass it.
bool report_code_write(uint32_t physical);

// A debugger's view of the same bytes, without side effects: no message, no cartridge file
// position moved. The cartridge range reads the image byte at the address's offset into the range.
// Empty (or false) for an address that maps to nothing, and for a poke of the cartridge.
std::optional<uint8_t> peek_byte(uint32_t address);
bool poke_byte(uint32_t address, uint8_t value);
std::optional<uint8_t> peek_physical_byte(uint32_t physical);
bool poke_physical_byte(uint32_t physical, uint8_t value);

#pragma once

#include <cstddef>
#include <cstdint>

#include "memory/faults.h"

// Told of every byte stored into a code page an engine holds copies from, by the processor or a
// debugger, so that the copies of the word it changes are dropped. True when the watcher dropped
// translated code.
class CodeWriteWatcher {
 public:
  virtual ~CodeWriteWatcher() = default;
  virtual bool code_written(uint32_t physical) = 0;
};

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

// Where the text a program writes for its developer goes (the cartridge's ISViewer buffer).
class TextOutput {
 public:
  virtual ~TextOutput() = default;
  virtual void write_text(const char* text, size_t length) = 0;
};

// Which of the console's DMA engines wrote memory.
enum class DmaSource : uint8_t { pi, si, sp };

// Told of every run of bytes a DMA engine writes into RDRAM or an SP memory, by the physical
// address of its first byte, once the bytes are in place.
class DmaWatch {
 public:
  virtual ~DmaWatch() = default;
  virtual void dma_written(uint32_t physical, uint32_t length, DmaSource source) = 0;
};

// How the memory map reaches what sits above it. This is the first part of the machine's one
// table of hooks: each layer above adds its own entries to it (cpu/hooks.h, machine/stops/
// stop_hooks.h, machine/hooks.h), and the machine fills the whole table when it is made.
struct MemoryHooks {
  MemoryFaultSink* memory_faults = nullptr;  // never null once the machine is made
  CodeWriteWatcher* code_writes = nullptr;   // null for none
  DataWatch* data_watch = nullptr;           // null but around the instructions being watched
  TextOutput* console_output = nullptr;      // null: the text is dropped
  DmaWatch* dma_watch = nullptr;             // null for none
};

// The memory layer's view of the machine's table of hooks.
extern MemoryHooks& memory_hooks;

#include "debugger/listing.h"

#include "debugger/debugger_state.h"
#include "debugger/disassembler.h"
#include "machine/debug_access.h"
#include "machine/execution.h"
#include "memory/memory_map.h"
#include "memory/rom_image.h"
#include "resources/dialog_templates.h"

namespace {

constexpr const char* kHeader = "PC         Opcode     Instruction";
constexpr uint32_t kPageBytes = 1024;  // 256 words
constexpr uint32_t kLastWordOffset = kPageBytes - 4;

// Fills go to the newest Commands window; once it has been destroyed they show nowhere, as they
// would go to controls that no longer exist.
void set_pc_field(const char* text) {
  if (Dialog* window = debugger.newest_commands_window) window->set_text(kIdListingPc, text);
}

void start_list() {
  Dialog* window = debugger.newest_commands_window;
  if (!window) return;
  window->clear_list(kIdListing);
  window->append_line(kIdListing, kHeader);
}

void append_line(const char* text) {
  if (Dialog* window = debugger.newest_commands_window) window->append_line(kIdListing, text);
}

void end_list() {
  if (Dialog* window = debugger.newest_commands_window) window->list_filled(kIdListing);
}

// The offset is taken as an unsigned 32-bit number in all its arithmetic, like the bounds it is
// compared with: before any image is loaded "+ 256" is never refused, and the offset may then grow
// past the signed range without ever becoming negative.
uint32_t listing_offset() {
  return static_cast<uint32_t>(shared.listing_offset);
}

uint32_t program_counter() {
  return static_cast<uint32_t>(read_register({RegisterFile::pc}));
}

void set_listing_offset(uint32_t offset) {
  shared.listing_offset = static_cast<int32_t>(offset);
}

// Never before the program counter: the offset stops at 0, and nothing moves while the list
// starts at or below the boot address.
void page_back() {
  ExecutionController::ScopedPause pause(execution);
  if (program_counter() + listing_offset() <= rom.boot_pc) return;
  set_listing_offset(listing_offset() > kPageBytes ? listing_offset() - kPageBytes : 0);
  fill_listing();
}

// The bound compares an offset from the program counter with the image's size: it limits the
// scrolling rather than keeping the list inside the image. For an image smaller than a page the
// difference wraps and nothing is refused.
void page_forward() {
  if (listing_offset() >= rom.rom_size - kPageBytes) return;
  set_listing_offset(listing_offset() + kPageBytes);
  fill_listing();
}

}  // namespace

void compose_listing_line(MessageText& line, uint32_t address, uint32_t word, CpuModel model) {
  line.format("%.8X   %.2X%.2X%.2X%.2X   ", address, word >> 24, (word >> 16) & 0xFF,
              (word >> 8) & 0xFF, word & 0xFF);
  line.append(disassemble(word, address, model).c_str());
}

void show_pc() {
  ExecutionController::ScopedPause pause(execution);
  shared.message_text().format("%X", program_counter());
  set_pc_field(shared.message_text().c_str());
}

void fill_listing() {
  // The run thread is held between two instructions for the whole fill, so the list is one
  // picture of memory, never torn by an instruction in the middle of it.
  ExecutionController::ScopedPause pause(execution);
  show_pc();
  start_list();
  uint32_t first = program_counter() + listing_offset();
  uint32_t last = first + kLastWordOffset;
  // 64-bit, so that the address after 0xFFFFFFFC ends the list instead of wrapping to 0; a first
  // address whose last one wraps below it lists nothing.
  const CpuModel model = processor_state().model;
  for (uint64_t address = first; address <= last; address += 4) {
    uint32_t word = 0;
    for (uint64_t k = 0; k < 4; ++k) word = word << 8 | mem_read_byte(address + k);
    compose_listing_line(shared.message_text(), static_cast<uint32_t>(address), word, model);
    append_line(shared.message_text().c_str());
  }
  end_list();
}

void CommandsProcedure::on_init(Dialog& dialog) {
  debugger.newest_commands_window = &dialog;
  fill_listing();
}

bool CommandsProcedure::on_command(Dialog& dialog, int id) {
  switch (id) {
    case kIdOk:
      dialog.end(1);
      return true;
    case kIdStep:
      execution.step();
      show_pc();
      return true;
    case kIdListingBack:
      page_back();
      return true;
    case kIdListingForward:
      page_forward();
      return true;
    default:
      // Cancel too: the Escape key and the close box leave the window open; only OK closes it.
      return false;
  }
}

void CommandsProcedure::on_destroy(Dialog& dialog) {
  if (debugger.newest_commands_window == &dialog) debugger.newest_commands_window = nullptr;
}

// info, list and disasm: what the main window paints, the Commands window, the disassembler.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cpu/cpu_state.h"
#include "debugger/disassembler.h"
#include "debugger/listing.h"
#include "machine/execution.h"
#include "machine/menu_commands.h"
#include "memory/rom_image.h"
#include "resources/dialog_templates.h"

namespace {

// A Commands window without a display: it keeps what the listing shows.
class ListingCapture final : public Dialog {
 public:
  void set_text(int id, const char* text) override {
    if (id == kIdListingPc) pc_text = text;
  }
  void clear_list(int id) override {
    if (id == kIdListing) lines.clear();
  }
  void append_line(int id, const char* text) override {
    if (id == kIdListing) lines.emplace_back(text);
  }
  void end(int) override {}

  std::string pc_text;
  std::vector<std::string> lines;
};

}  // namespace

bool open_rom(const std::string& path, CpuModel model, Hardware hardware, bool expansion) {
  choose_cpu_model(model);
  choose_hardware(hardware, expansion);
  return load_rom(path.c_str()) == 1;
}

int info_command(const std::string& rom_path) {
  if (!open_rom(rom_path, CpuModel::v02c)) return kExitRefused;
  std::printf("%s\n%s\n%s\nManufacturer: %s\n%s\n", rom.byte_order_text.c_str(),
              rom.pc_text.c_str(), rom.rom_name.c_str(), rom.rom_manufacturer.c_str(),
              rom.country_text.c_str());
  return kExitDone;
}

int list_command(const ListOptions& options) {
  if (!open_rom(options.rom, options.model, options.hardware, options.expansion))
    return kExitRefused;
  for (uint64_t i = 0; i < options.steps; ++i) execution.step();

  ListingCapture window;
  CommandsProcedure procedure;
  procedure.on_init(window);
  int button = options.page > 0 ? kIdListingForward : kIdListingBack;
  uint64_t magnitude = static_cast<uint64_t>(options.page);
  uint64_t presses = options.page > 0 ? magnitude : 0 - magnitude;
  for (uint64_t i = 0; i < presses; ++i) procedure.on_command(window, button);
  procedure.on_destroy(window);

  std::printf("Current PC: %s\n", window.pc_text.c_str());
  for (const std::string& line : window.lines) std::printf("%s\n", line.c_str());
  return kExitDone;
}

int disasm_command(const DisasmOptions& options) {
  for (std::size_t i = 0; i < options.words.size(); ++i) {
    uint32_t address = options.address + 4 * static_cast<uint32_t>(i);
    std::printf("%s\n", disassemble(options.words[i], address, options.model).c_str());
  }
  return kExitDone;
}

#include "ui/shared/status_lines.h"

#include <cinttypes>

#include "base/text.h"

namespace {

std::string ips_line(const IpsDisplay& ips) {
  Text<64> line;
  if (ips.just_measured) {
    line.format("%9" PRIu64 " instructions per second. ", ips.value);
  } else {
    line.format("%8" PRIu64 " instructions per second. ", ips.value);
  }
  return line.c_str();
}

}  // namespace

std::vector<StatusLine> status_lines(const RomState& rom_state, const IpsDisplay& ips) {
  std::vector<StatusLine> lines;
  if (rom_state.rom_loaded) {
    lines = {{0, rom_state.byte_order_text.c_str()},
             {20, rom_state.pc_text.c_str()},
             {40, rom_state.rom_name.c_str()},
             {60, std::string("Manufacturer: ") + rom_state.rom_manufacturer.c_str()},
             {80, rom_state.country_text.c_str()}};
  }
  if (ips.shown || ips.just_measured) lines.push_back({0, ips_line(ips)});
  return lines;
}

#include "tests/support/program_rom.h"

#include "machine/menu_commands.h"
#include "tests/support/mips_assembler.h"

int load_program_rom(const TempDir& dir, const std::string& source) {
  RomImage image;
  image.boot_code = to_bytes(assemble(source));
  return load_rom(dir.write("program.z64", image.native()).c_str());
}

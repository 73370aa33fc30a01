#include "memory/rom_image.h"

#include <algorithm>
#include <cstring>

#include "memory/bus.h"
#include "memory/image_file.h"
#include "memory/storage.h"

namespace {

constexpr long kSpDmemImageBytes = 4096;

uint32_t file_size(std::FILE* file) {
  return static_cast<uint32_t>(std::min<uint64_t>(image_file_size(file), 0xFFFFFFFFu));
}

// Reads `count` bytes at `offset`; whatever lies past the end of the file reads as zero.
void read_at(std::FILE* file, long offset, uint8_t* destination, std::size_t count) {
  std::size_t got = 0;
  if (::fseek(file, offset, SEEK_SET) == 0) got = std::fread(destination, 1, count, file);
  std::memset(destination + got, 0, count - got);
}

uint8_t read_byte_at(std::FILE* file, long offset) {
  uint8_t byte;
  read_at(file, offset, &byte, 1);
  return byte;
}

// A header code shown as a number is the byte taken as signed and widened, so 0x80 is ffffff80.
uint32_t widened_code(uint8_t code) {
  return static_cast<uint32_t>(static_cast<int8_t>(code));
}

const char* country_name(uint8_t code) {
  switch (code) {
    case 'D':
      return "Germany";
    case 'E':
      return "USA";
    case 'J':
      return "Japan";
    case 'P':
      return "Europe";
    case 'U':
      return "Australia";
    default:
      return nullptr;
  }
}

void read_header_texts(std::FILE* file) {
  uint8_t name[20];
  read_at(file, 32, name, sizeof name);
  if (rom.byte_swapped) {
    for (std::size_t i = 0; i < sizeof name; i += 2) std::swap(name[i], name[i + 1]);
  }
  std::memcpy(rom.rom_name.data, name, sizeof name);
  rom.rom_name.data[sizeof name] = '\0';

  uint8_t manufacturer = read_byte_at(file, rom.byte_swapped ? 58 : 59);
  if (manufacturer == 'N') {
    rom.rom_manufacturer.set("Nintendo");
  } else {
    rom.rom_manufacturer.format("Unknown: %x", widened_code(manufacturer));
  }

  uint8_t country = read_byte_at(file, rom.byte_swapped ? 63 : 62);
  if (const char* name_text = country_name(country)) {
    rom.country_text.format("Country: %s", name_text);
  } else {
    rom.country_text.format("Country: %x", widened_code(country));
  }
}

// The boot code lands in SP DMEM in native order, whatever the image's order.
void copy_boot_code(std::FILE* file) {
  read_at(file, 0, memory.sp_dmem, kSpDmemImageBytes);
  if (rom.byte_swapped) {
    for (long i = 0; i < kSpDmemImageBytes; i += 2)
      std::swap(memory.sp_dmem[i], memory.sp_dmem[i + 1]);
  }
}

// The console machine holds the image whole, in native order.
void hold_cartridge(std::FILE* file) {
  rom.cartridge.clear();
  if (!bus.console) return;
  rom.cartridge.resize(std::min(rom.rom_size, kCartridgeImageBytes));
  read_at(file, 0, rom.cartridge.data(), rom.cartridge.size());
  if (rom.byte_swapped) {
    for (std::size_t i = 0; i + 1 < rom.cartridge.size(); i += 2)
      std::swap(rom.cartridge[i], rom.cartridge[i + 1]);
  }
}

}  // namespace

bool open_rom_image(const char* path) {
  if (std::strlen(path) >= rom.rom_path.capacity()) return false;
  std::FILE* file = open_image_file(path);
  if (!file) return false;
  uint8_t order[2];
  read_at(file, 0, order, sizeof order);
  bool native = order[0] == 0x80 && order[1] == 0x37;
  bool swapped = order[0] == 0x37 && order[1] == 0x80;
  if (!native && !swapped) {
    std::fclose(file);
    return false;
  }

  close_rom_image();
  rom.rom_file = file;
  rom.rom_path.set(path);
  rom.byte_swapped = swapped ? 1 : 0;
  rom.byte_order_text.set(swapped ? "Byteswapped." : "Not Byteswapped.");
  rom.rom_loaded = 1;
  rom.boot_pc = kBootPc;
  rom.pc_text.format("Program Counter: %x", kBootPc);
  rom.rom_size = file_size(file);
  read_header_texts(file);
  copy_boot_code(file);
  hold_cartridge(file);
  // Cartridge reads continue from here.
  std::fseek(file, kSpDmemImageBytes, SEEK_SET);
  return true;
}

void close_rom_image() {
  if (rom.rom_file) std::fclose(rom.rom_file);
  rom.rom_file = nullptr;
  rom.cartridge.clear();
}

uint8_t cartridge_read_byte() {
  if (!rom.rom_file) return 0;
  int byte = std::getc(rom.rom_file);
  return byte == EOF ? 0 : static_cast<uint8_t>(byte);
}

uint8_t cartridge_peek_byte(uint32_t offset) {
  if (bus.console) return cartridge_byte(offset);
  uint8_t byte = 0;
  if (!rom.rom_file || !read_image_byte_at(rom.rom_file, offset, byte)) return 0;
  return byte;
}

uint8_t cartridge_byte(uint32_t offset) {
  if (offset < rom.cartridge.size()) return rom.cartridge[offset];
  // The cartridge's addresses start on a 64 KB boundary: the offset's low halfword is theirs.
  return static_cast<uint8_t>((offset & 0xFFFC) >> (8 * (1 - (offset & 1))));
}

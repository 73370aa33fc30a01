#include "cli/elf_program.h"

#include <algorithm>
#include <cstdio>

#include "memory/memory_map.h"

namespace {

constexpr uint8_t kClass32 = 1;
constexpr uint8_t kClass64 = 2;
constexpr uint8_t kBigEndian = 2;
constexpr uint16_t kExecutable = 2;
constexpr uint16_t kMachineMips = 8;
constexpr uint32_t kLoad = 1;
constexpr uint32_t kDynamic = 2;
constexpr uint32_t kInterpreter = 3;

// Big-endian fields of either class, each read only after its bounds are checked.
class Reader {
 public:
  Reader(const std::vector<uint8_t>& file, bool wide) : file_(file), wide_(wide) {}

  bool holds(uint64_t offset, uint64_t size) const {
    return offset <= file_.size() && size <= file_.size() - offset;
  }
  uint64_t unsigned_at(uint64_t offset, unsigned size) const {
    uint64_t value = 0;
    for (unsigned k = 0; k < size; ++k) value = value << 8 | file_[offset + k];
    return value;
  }
  // A 32-bit field in ELF32, a 64-bit one in ELF64.
  uint64_t word_at(uint64_t offset) const { return unsigned_at(offset, wide_ ? 8 : 4); }
  unsigned word_size() const { return wide_ ? 8 : 4; }

 private:
  const std::vector<uint8_t>& file_;
  bool wide_;
};

// The 32-bit address a processor in 32-bit mode reaches with `address`: in ELF64 it must be the
// sign extension of one.
bool to_address32(uint64_t address, bool wide, uint32_t& out) {
  out = static_cast<uint32_t>(address);
  const uint64_t extended = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(out)));
  return wide ? address == extended : address <= UINT32_MAX;
}

// Whether [address, address + size) lies in RDRAM as the processor addresses it. RDRAM starts
// each of the segments it is seen through, so the whole range translates as its first byte does.
bool in_rdram(uint32_t address, uint64_t size) {
  const uint32_t physical = translate_address(address);
  return physical < kRdramStandardBytes && size <= kRdramStandardBytes - physical;
}

struct Header {
  uint64_t entry, program_headers;
  uint64_t header_size, header_count;
};

std::variant<Header, std::string> read_header(const std::vector<uint8_t>& file) {
  if (file.size() < 16 || file[0] != 0x7F || file[1] != 'E' || file[2] != 'L' || file[3] != 'F')
    return std::string("not an ELF file");
  const bool wide = file[4] == kClass64;
  if (file[4] != kClass32 && !wide) return std::string("neither a 32-bit nor a 64-bit ELF file");
  if (file[5] != kBigEndian) return std::string("not a big-endian ELF file");
  const Reader r(file, wide);
  const uint64_t header_bytes = wide ? 64 : 52;
  if (!r.holds(0, header_bytes)) return std::string("the ELF header is cut short");
  if (r.unsigned_at(18, 2) != kMachineMips) return std::string("not a MIPS program");
  if (r.unsigned_at(16, 2) != kExecutable) return std::string("not a statically linked executable");
  const unsigned w = r.word_size();
  Header h;
  h.entry = r.word_at(24);
  h.program_headers = r.word_at(24 + w);
  const uint64_t sizes = 24 + 3 * w + 4 + 2;  // past e_shoff, e_flags and e_ehsize
  h.header_size = r.unsigned_at(sizes, 2);
  h.header_count = r.unsigned_at(sizes + 2, 2);
  if (h.header_size < (wide ? 56u : 32u)) return std::string("its program headers are too small");
  if (h.header_count > UINT64_MAX / h.header_size ||
      !r.holds(h.program_headers, h.header_count * h.header_size))
    return std::string("its program headers lie outside the file");
  return h;
}

// Where a segment lands in RDRAM.
uint32_t physical_start(const ElfSegment& segment) {
  return translate_address(segment.address);
}

// Two segments that share a byte of RDRAM, which the boot code would copy one over the other,
// named by the first pair found; empty when there are none.
std::string overlapping_segments(const std::vector<ElfSegment>& segments) {
  std::vector<const ElfSegment*> in_rdram_order;
  for (const ElfSegment& segment : segments) in_rdram_order.push_back(&segment);
  std::stable_sort(in_rdram_order.begin(), in_rdram_order.end(),
                   [](auto* a, auto* b) { return physical_start(*a) < physical_start(*b); });
  for (std::size_t i = 1; i < in_rdram_order.size(); ++i) {
    const ElfSegment& before = *in_rdram_order[i - 1];
    const ElfSegment& after = *in_rdram_order[i];
    if (physical_start(before) + before.bytes.size() > physical_start(after)) {
      char text[80];
      std::snprintf(text, sizeof text, "its loadable segments at 0x%08X and 0x%08X overlap",
                    before.address, after.address);
      return text;
    }
  }
  return {};
}

// Why the program could never start at its entry point; empty when it can.
std::string entry_fault(const ElfProgram& program) {
  const char* fault = nullptr;
  auto holds_entry = [&](const ElfSegment& segment) {
    return program.entry - segment.address < segment.bytes.size();
  };
  if (program.entry % 4 != 0) {
    fault = "is not word-aligned";
  } else if (std::none_of(program.segments.begin(), program.segments.end(), holds_entry)) {
    fault = "lies outside every loadable segment";
  } else {
    return {};
  }
  char text[80];
  std::snprintf(text, sizeof text, "the entry point 0x%08X %s", program.entry, fault);
  return text;
}

}  // namespace

std::variant<ElfProgram, std::string> parse_elf_program(const std::vector<uint8_t>& file) {
  std::variant<Header, std::string> header = read_header(file);
  if (const std::string* error = std::get_if<std::string>(&header)) return *error;
  const Header& h = std::get<Header>(header);
  const bool wide = file[4] == kClass64;
  const Reader r(file, wide);

  ElfProgram program;
  if (!to_address32(h.entry, wide, program.entry))
    return std::string("its entry point is not a 32-bit address");
  uint64_t total = 0;
  for (uint64_t i = 0; i < h.header_count; ++i) {
    const uint64_t at = h.program_headers + i * h.header_size;
    const uint32_t type = static_cast<uint32_t>(r.unsigned_at(at, 4));
    if (type == kDynamic || type == kInterpreter)
      return std::string("not a statically linked executable");
    if (type != kLoad) continue;
    // ELF64 puts the flags second; the fields after them have the class's width.
    const uint64_t fields = wide ? at + 8 : at + 4;
    const unsigned w = r.word_size();
    const uint64_t offset = r.word_at(fields);
    const uint64_t virtual_address = r.word_at(fields + w);
    const uint64_t file_size = r.word_at(fields + 3 * w);
    const uint64_t memory_size = r.word_at(fields + 4 * w);
    if (memory_size == 0) continue;
    if (file_size > memory_size) return std::string("a segment holds more bytes than it takes");
    if (!r.holds(offset, file_size)) return std::string("a segment lies outside the file");
    uint32_t address;
    if (!to_address32(virtual_address, wide, address) || !in_rdram(address, memory_size))
      return std::string("its segments do not fit RDRAM");
    total += memory_size;
    if (total > kRdramStandardBytes) return std::string("its segments do not fit RDRAM");
    ElfSegment segment{address, std::vector<uint8_t>(memory_size, 0)};
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(offset), file_size,
                segment.bytes.begin());
    program.segments.push_back(std::move(segment));
  }
  if (program.segments.empty()) return std::string("it has no loadable segment");
  if (std::string overlap = overlapping_segments(program.segments); !overlap.empty())
    return overlap;
  if (std::string fault = entry_fault(program); !fault.empty()) return fault;
  return program;
}

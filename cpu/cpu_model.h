#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Which processor the machine has: the instruction subset of version 0.2c with its own decisions
// (the default, unchanged), or the complete R4300i: the integer unit, the FPU, and coprocessor 0
// with its exceptions. Chosen before a ROM is loaded; every engine runs what it knows of it.
enum class CpuModel : uint8_t { v02c, r4300i };

// The model called "0.2c" or "r4300i"; empty for any other name.
constexpr std::optional<CpuModel> cpu_model_named(std::string_view name) {
  if (name == "0.2c") return CpuModel::v02c;
  if (name == "r4300i") return CpuModel::r4300i;
  return std::nullopt;
}

#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// What surrounds the processor: the 0.2c machine's register blocks as plain storage (the default,
// unchanged), or the console's own hardware with the complete processor and the console's boot.
enum class Hardware : uint8_t { plain_storage, console };

// The hardware called "plain" or "console"; empty for any other name.
constexpr std::optional<Hardware> hardware_named(std::string_view name) {
  if (name == "plain") return Hardware::plain_storage;
  if (name == "console") return Hardware::console;
  return std::nullopt;
}

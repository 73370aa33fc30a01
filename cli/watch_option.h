#pragma once

#include <optional>
#include <string_view>

#include "cli/numbers.h"
#include "machine/stops/watchpoints.h"

// A watchpoint as --watch writes it: ADDR[,LEN][:r|w|a], LEN 1 to 8 (default 4), the kind read,
// write (the default) or access. Empty for anything else.
inline std::optional<Watchpoint> parse_watch_option(std::string_view text) {
  WatchKind kind = WatchKind::write;
  if (const auto colon = text.find(':'); colon != std::string_view::npos) {
    const std::string_view letter = text.substr(colon + 1);
    if (letter == "r") {
      kind = WatchKind::read;
    } else if (letter == "a") {
      kind = WatchKind::access;
    } else if (letter != "w") {
      return std::nullopt;
    }
    text = text.substr(0, colon);
  }
  std::optional<uint32_t> length = 4;
  if (const auto comma = text.find(','); comma != std::string_view::npos) {
    length = parse_number<uint32_t>(text.substr(comma + 1));
    text = text.substr(0, comma);
  }
  const std::optional<uint32_t> address = parse_number<uint32_t>(text);
  if (!address || !length || *length < 1 || *length > 8) return std::nullopt;
  return Watchpoint{*address, *length, kind};
}

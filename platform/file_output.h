#pragma once

#include <cstdint>
#include <span>
#include <string>

// The files Korvel writes (the ROMs korvel-cli makes, say) take their place whole or not at all:
// the bytes go to a new file beside the target, which then takes the target's name in one step.
// A write that fails leaves the target as it was and removes its new file; one cut short by the
// end of the process leaves the target as it was too, and the new file under its own name.

// Writes `bytes` as the file at `path` (UTF-8), replacing a file there (a symbolic link there is
// replaced, not followed). Empty once it is in place, otherwise why not, in one line: "not a
// regular file" for a folder or a device there, or the system's words.
std::string write_file_whole(const std::string& path, std::span<const uint8_t> bytes);

// Whether the two paths (UTF-8) name one existing file, however each is spelt: through a hard or a
// symbolic link, or by another way to the same folder.
bool same_file(const std::string& first, const std::string& second);

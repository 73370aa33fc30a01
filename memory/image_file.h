#pragma once

#include <cstdint>
#include <cstdio>

// The file calls of the ROM image that differ between systems (memory/posix, memory/windows); the
// programs korvel-cli makes ROMs from are read through them too.

// Opens `path` for reading only if it names a regular file, so that a FIFO or a device is refused
// before an open could block on it. Null when the path cannot be read as a file.
std::FILE* open_image_file(const char* path);

// The open file's size in bytes; 0 when the system does not tell.
uint64_t image_file_size(std::FILE* file);

// The byte at `offset` without moving the file's position; false past the end or on an error.
bool read_image_byte_at(std::FILE* file, uint64_t offset, uint8_t& byte);

#pragma once

#include <windows.h>

#include <string>

// Open ROM's file dialog (GetOpenFileNameA) owned by `owner`: an existing file, with the ROM
// images' extensions as the first filter and every file as the second. The chosen file's path, or
// empty when it was cancelled.
std::string choose_rom_file(HWND owner);

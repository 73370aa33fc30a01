#include "ui/win32/open_rom_dialog.h"

#include <commdlg.h>

#include <vector>

namespace {

// Display text and patterns, pair by pair. The first text leaves out the native byte order (.z64),
// which the loader reads as well; its patterns do not.
constexpr char kRomFilters[] =
    "N64 roms (*.v64,*.bin,*.n64\0*.v64;*.bin;*.n64;*.z64\0"
    "All files (*.*)\0*.*\0";

// Paths are UTF-8 (the program's code page), which may take up to three bytes for a character of
// the system's longest paths.
constexpr DWORD kPathBytes = 3 * 32768;

}  // namespace

std::string choose_rom_file(HWND owner) {
  std::vector<char> path(kPathBytes, '\0');
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kRomFilters;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = kPathBytes;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetOpenFileNameA(&dialog)) return {};
  return path.data();
}

#pragma once

#include "resources/menu.h"

// Descriptions of the menu commands, keyed by command id. Carried with the resources; nothing
// loads or shows them.

struct StringEntry {
  int id;
  const char* text;
};

inline constexpr StringEntry kStringTable[] = {
    {kCmdExit, "Exit Korvel"},
    {kCmdOpenRom, "Open a ROM"},
    {kCmdLoadState, "Load a previously saved state"},
    {kCmdSaveState, "Save the current state"},
    {kCmdAbout, "About Korvel"},
    {kCmdStartCpu, "Start Emulation"},
    {kCmdPauseCpu, "Pause emulation"},
    {kCmdResetCpu, "Reset Emulation"},
    {kCmdShowCount, "Display number of current instruction"},
};

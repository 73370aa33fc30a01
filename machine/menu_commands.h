#pragma once

#include "cpu/cpu_model.h"
#include "machine/execution.h"
#include "machine/hardware.h"

// The machine's side of the menu commands that load, start, reset and give up a ROM. Window thread
// only. Which menu items a successful load enables is the front end's business.

// The processor model the machine has from now on: chosen before a ROM is loaded, with no run
// thread.
void choose_cpu_model(CpuModel model);

// The hardware the machine has from now on, chosen as the processor model is; the console's
// brings the complete processor with it, and with `expansion` the memory expansion's 8 MB of
// RDRAM (the plain-storage machine has 4 MB whatever it says).
void choose_hardware(Hardware hardware, bool expansion = false);
// The RDRAM that choice gives the machine.
uint32_t rdram_bytes_of(Hardware hardware, bool expansion);

// Open ROM: loads the image at `path` and sets the boot state; the title becomes "Korvel - " and
// the path. Returns 1 when loaded; 0 for an empty path, and for a refused image ("Not a valid
// ROM!"), which leaves the ROM loaded before, its file and its state exactly as they were.
int load_rom(const char* path);

// Reset CPU: back to the boot state of the loaded image (or pc 0 after Close ROM).
void reset_cpu();

// Close ROM: the run thread is ended, the registers are cleared and the file closed.
void close_rom();

// Start CPU: "Korvel - " + the ROM's name (its path when the name is empty) + " - Running" in the
// title, the header lines no longer painted, `running` set, and a new run thread in place of the
// previous one.
void start_cpu(RunObserver* observer = nullptr);

#pragma once

#include <string>
#include <string_view>

// The processor model and the hardware a desktop program's command line names (`--cpu`, given or
// not, `--machine` and `--expansion`), chosen for the machine. Empty when all are known and fit
// together; otherwise the line that says what is wrong, and nothing is chosen.
std::string choose_machine(std::string_view cpu, bool cpu_given, std::string_view hardware,
                           bool expansion);

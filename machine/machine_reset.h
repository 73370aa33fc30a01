#pragma once

// Puts everything the machine holds back as it is at program start (for the tests): the
// processor, memory and its page marks, the ROM image, shared flags and texts, the run thread's
// controller, the engines' decoded and translated words, the user breakpoints and watchpoints, the
// history, the fault sinks and their count; the engine as KORVEL_ENGINE says, so that a test run
// can choose it.
void reset_machine();

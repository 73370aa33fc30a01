#pragma once

#include "debugger/dialog.h"

// The three register windows: general-purpose, coprocessor-0 and floating-point registers with the
// program counter, each with a Step button. Only the newest window of each kind is filled.
enum class RegisterWindowKind { gpr, cp0, fpr };

// The procedure of every window of `kind`; one instance per kind, alive for the whole program.
DialogProcedure& register_window_procedure(RegisterWindowKind kind);

// Fills the newest window of each kind from the processor state, holding any run thread meanwhile.
void refresh_register_windows();

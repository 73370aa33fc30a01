#pragma once

// The requests to end a server cleanly: SIGINT and SIGTERM on POSIX systems; Ctrl-C, Ctrl-Break
// and the console window's closing on Windows. On POSIX the signals are held back everywhere but
// inside the socket waits, so that a wait ends at once when one arrives and nothing else (the run
// thread above all) is ever interrupted by them; Windows calls its handler on a thread of its own,
// which wakes the socket waits.

// Call before any thread starts: on POSIX the threads started later inherit the held-back signals.
void hold_stop_signals();

// Whether a stop has been requested since `hold_stop_signals`.
bool stop_requested();

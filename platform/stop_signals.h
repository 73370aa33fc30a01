#pragma once

#include <poll.h>

// SIGINT and SIGTERM as a request to stop the server cleanly. They are held back everywhere except
// inside `poll_until_stop`, so that a wait for a socket ends at once when one arrives and nothing
// else (the run thread above all) is ever interrupted by them.

// Call before any thread starts: the threads started later inherit the held-back signals.
void hold_stop_signals();

// Whether SIGINT or SIGTERM has arrived since `hold_stop_signals`.
bool stop_requested();

// poll() that lets the stop signals in while it waits: -1 with errno EINTR when one arrived, and
// at once without waiting when one had arrived before. A negative timeout waits for ever.
int poll_until_stop(pollfd* fds, nfds_t count, int timeout_ms);

#include "platform/console_output.h"

// POSIX streams carry bytes as written already.
void write_standard_streams_as_bytes() {}

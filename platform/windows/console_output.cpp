#include "platform/console_output.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

void write_standard_streams_as_bytes() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

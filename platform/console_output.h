#pragma once

// Makes standard output and standard error carry exactly the bytes the program writes, so that
// scripts read the same lines everywhere: Windows would otherwise write each "\n" as "\r\n".
void write_standard_streams_as_bytes();

#include "platform/physical_memory.h"

#include <windows.h>

uint64_t physical_memory_bytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

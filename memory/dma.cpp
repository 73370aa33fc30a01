#include "memory/dma.h"

uint32_t installed_rdram_bytes() {
  return kRdramBytes;
}

void DmaRuns::tell() {
  if (length_ != 0 && memory_hooks.dma_watch) {
    memory_hooks.dma_watch->dma_written(first_, length_, source_);
  }
  length_ = 0;
}

#include "memory/dma.h"

void DmaRuns::tell() {
  if (length_ != 0 && memory_hooks.dma_watch) {
    memory_hooks.dma_watch->dma_written(first_, length_, source_);
  }
  length_ = 0;
}

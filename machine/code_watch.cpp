#include "machine/code_watch.h"

#include <cstring>

#include "machine/block_translator.h"
#include "machine/decoded_engine.h"
#include "memory/memory_map.h"

namespace {

// The memory map's stores and pokes reach both engines through here.
class BothEngines final : public CodeWriteWatcher {
 public:
  BothEngines() { set_code_write_watcher(this); }
  ~BothEngines() override { set_code_write_watcher(nullptr); }
  void code_written(uint32_t physical) override { code_stored(physical); }
};

BothEngines both_engines;

}  // namespace

void forget_all_code() {
  decoded_engine.forget_all();
  block_translator.forget_all();
  std::memset(code_page_copied, 0, sizeof code_page_copied);
}

bool code_stored(uint32_t physical) {
  decoded_engine.code_written(physical);
  return block_translator.code_written(physical);
}

#include "machine/history_hook.h"

SnapshotWindow snapshot_window;

namespace {

HistoryHook* installed_hook = nullptr;

}  // namespace

HistoryHook* history_hook() {
  return installed_hook;
}

void set_history_hook(HistoryHook* hook) {
  installed_hook = hook;
  if (!hook) snapshot_window = {};
}

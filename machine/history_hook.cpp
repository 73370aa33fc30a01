#include "machine/history_hook.h"

#include "cpu/scheduler.h"
#include "machine/hooks.h"

HistoryHook* history_hook() {
  return machine_hooks.history;
}

void set_history_hook(HistoryHook* hook) {
  machine_hooks.history = hook;
  if (!hook) scheduler.cancel(Event::snapshot);
}

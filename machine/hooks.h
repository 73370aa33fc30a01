#pragma once

#include "machine/stops/stop_hooks.h"

class HistoryHook;
class Host;

// The machine layer's entries, the last of the machine's one table of hooks: the whole table, which
// the machine object fills when it is made (machine/object/machine.h), and which the layers below
// see as their own parts of it.
struct MachineHooks : StopHooks {
  Host* host = nullptr;            // never null: `set_host` puts the silent one back for none
  Host* silent_host = nullptr;     // one that ignores every request, the machine's own
  HistoryHook* history = nullptr;  // null while nothing records
  // Whether the calling thread may take the scratch text now: the run thread, or one that holds
  // its instructions (debug builds check it).
  bool (*message_text_user)() = nullptr;  // never null once the machine is made
};

// The machine layer's view of the table.
extern MachineHooks& machine_hooks;

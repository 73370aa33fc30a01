#include "machine/machine_state.h"

#include <cassert>

#include "machine/hooks.h"

MessageText& SharedState::message_text() {
  assert(machine_hooks.message_text_user());
  return message_text_;
}

#include "machine/machine_state.h"

#include <cassert>

SharedState shared;

namespace {

bool any_thread() {
  return true;
}

bool (*message_text_user_test)() = any_thread;

}  // namespace

MessageText& SharedState::message_text() {
  assert(message_text_user_test());
  return message_text_;
}

void set_message_text_user_test(bool (*test)()) {
  message_text_user_test = test ? test : any_thread;
}

#include "tests/support/core_fixture.h"

#include "debugger/debugger_state.h"
#include "machine/host.h"

void CoreTest::SetUp() {
  reset_all_state();
  set_host(&recorder);
}

void CoreTest::TearDown() {
  reset_all_state();
  set_host(nullptr);
}

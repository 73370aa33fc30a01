// libFuzzer: whatever bytes a client sends, the session answers or drops them and ends when the
// client goes, without crashing or hanging. Runs the client asks for end when the input does.
#include <cstddef>
#include <cstdint>
#include <string>

#include "debugger/debugger_state.h"
#include "debugger/gdb/gdb_session.h"
#include "tests/support/scripted_connection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // Every input starts from the same machine: no ROM, pc 0 in RDRAM.
  reset_all_state();
  ScriptedConnection client({std::string(reinterpret_cast<const char*>(data), size)});
  GdbSession session(client);
  session.serve();
  return 0;
}

// gdbserver: the machine served to gdb over TCP, one client after another.
#include <memory>

#include "cli/commands.h"
#include "debugger/gdb/gdb_session.h"
#include "machine/history/history.h"
#include "platform/stop_signals.h"
#include "platform/tcp_server.h"

int gdbserver_command(const GdbServerOptions& options) {
  hold_stop_signals();
  shared.engine = options.engine;
  if (!open_rom(options.rom, options.model, options.hardware, options.expansion))
    return kExitRefused;
  // From the boot state on; the budget has been checked.
  if (options.history_mb != 0) history.start(options.history_mb << 20);

  TcpServer server;
  if (!server.listen_and_announce("korvel-cli", options.address, options.port)) return kExitUsage;

  // A client that detaches or goes away leaves the machine as it is for the next one.
  while (std::unique_ptr<Connection> client = server.accept()) {
    GdbSession session(*client);
    if (session.serve() == SessionEnd::killed) break;
  }
  return kExitDone;
}

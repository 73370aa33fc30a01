#pragma once

// The socket calls that differ between systems, for the TCP server; the system's own declarations
// and its `Socket` come from socket_headers.h in posix/ or windows/.
#include <cstddef>
#include <string>

#include "socket_headers.h"

// Makes the socket calls usable, once for the program; the reason when they cannot be, or an
// empty text.
std::string start_sockets();
// A stream socket that child processes do not inherit; kNoSocket when there is none.
Socket open_stream_socket(int family, int protocol);
// The next waiting client, non-blocking and not inherited; kNoSocket when there is none.
Socket accept_client(Socket listener);
void close_socket(Socket socket);
// Lets a restarted server take its port back at once, while the last connection's is still
// closing, and no other program take it meanwhile.
void reclaim_port_quickly(Socket socket);
// The last failed socket call's reason.
std::string last_socket_error();

// What a send or a receive did: a positive count of bytes, 0 when the client closed its end (a
// receive), kWouldWait when nothing could be done without waiting, -1 when the connection failed.
inline constexpr long kWouldWait = -2;
long send_some(Socket socket, const char* bytes, std::size_t count);
long receive_some(Socket socket, char* bytes, std::size_t count);

// poll() that ends early when a stop is requested (see stop_signals.h): the number of sockets
// ready, 0 when the time ran out, -1 once a stop has been requested or the wait failed. A negative
// timeout waits for ever.
int wait_for_sockets(pollfd* waits, std::size_t count, int timeout_ms);

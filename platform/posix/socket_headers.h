#pragma once

// POSIX sockets.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

using Socket = int;
inline constexpr Socket kNoSocket = -1;

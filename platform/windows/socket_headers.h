#pragma once

// Winsock 2, whose poll() is WSAPoll.
#include <winsock2.h>
#include <ws2tcpip.h>

using Socket = SOCKET;
inline constexpr Socket kNoSocket = INVALID_SOCKET;

// Ends every socket wait at once, from the console's stop handler: WSAPoll has no other way to be
// woken.
void wake_socket_waits();

#pragma once
// The Windows Sockets headers, for the code that BSD sockets and Windows Sockets share.
#include <winsock2.h>
#include <ws2tcpip.h>

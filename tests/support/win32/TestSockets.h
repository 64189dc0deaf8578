#pragma once
// The few socket calls the loopback peers need that differ between systems: Windows Sockets'
// here, Linux's in posix/TestSockets.h (the build picks the folder). Test use only.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <optional>

#include "platform/Socket.h"

using TestSocket = SOCKET;
inline constexpr TestSocket kNoTestSocket = INVALID_SOCKET;
using TestSocketLength = int;

inline TestSocket OpenTestSocket(int type) {
    AcquireSocketLibrary();  // the program's one start-up of Windows Sockets for the process
    return WSASocketW(AF_INET, type, 0, nullptr, 0,
                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

inline TestSocket AcceptTestSocket(TestSocket listener) {
    return accept(listener, nullptr, nullptr);
}

inline void CloseTestSocket(TestSocket socket) {
    closesocket(socket);
}

inline int PollTestSockets(pollfd* items, std::size_t count, int timeoutMs) {
    return WSAPoll(items, static_cast<ULONG>(count), timeoutMs);
}

// Windows has no broken-pipe signal: a send to a peer that has gone only fails.
inline long SendTestSocket(TestSocket socket, const char* data, std::size_t size) {
    return send(socket, data, static_cast<int>(size), 0);
}

inline int LastTestSocketError() {
    return WSAGetLastError();
}

// A failure that only means "try again".
inline bool IsPassingSocketError(int error) {
    return error == WSAEINTR || error == WSAEWOULDBLOCK;
}

inline bool IsConnectInProgress(int error) {
    return error == WSAEWOULDBLOCK;
}

inline void SetTestSocketNonBlocking(TestSocket socket) {
    u_long nonBlocking = 1;
    ioctlsocket(socket, FIONBIO, &nonBlocking);
}

inline void SetTestSocketOption(TestSocket socket, int level, int name, const void* value,
                                int length) {
    setsockopt(socket, level, name, static_cast<const char*>(value), length);
}

inline void SetLargeReceiveBuffer(TestSocket socket, int size) {
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
}

// Windows Sockets does not report the accept queue.
inline std::optional<bool> IsAcceptQueueFull(TestSocket /*listener*/) {
    return std::nullopt;
}

// Windows Sockets has no arrival stamps: the stamp is the moment the data is read.
inline void EnableArrivalStamps(TestSocket /*socket*/) {}

inline long ReceiveStamped(TestSocket socket, char* buffer, std::size_t size,
                           std::chrono::system_clock::time_point& arrived) {
    const int got = recv(socket, buffer, static_cast<int>(size), 0);
    arrived = std::chrono::system_clock::now();
    return got;
}

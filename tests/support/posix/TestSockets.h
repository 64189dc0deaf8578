#pragma once
// The few socket calls the loopback peers need that differ between systems: Linux's here,
// Windows Sockets' in win32/TestSockets.h (the build picks the folder). Test use only.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

using TestSocket = int;
inline constexpr TestSocket kNoTestSocket = -1;
using TestSocketLength = socklen_t;

inline TestSocket OpenTestSocket(int type) {
    return ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
}

inline TestSocket AcceptTestSocket(TestSocket listener) {
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

inline void CloseTestSocket(TestSocket socket) {
    ::close(socket);
}

inline int PollTestSockets(pollfd* items, std::size_t count, int timeoutMs) {
    return ::poll(items, count, timeoutMs);
}

// A send that never raises the broken-pipe signal when the peer has gone.
inline long SendTestSocket(TestSocket socket, const char* data, std::size_t size) {
    return static_cast<long>(::send(socket, data, size, MSG_NOSIGNAL));
}

inline int LastTestSocketError() {
    return errno;
}

// A failure that only means "try again".
inline bool IsPassingSocketError(int error) {
    return error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
}

inline bool IsConnectInProgress(int error) {
    return error == EINPROGRESS;
}

inline void SetTestSocketNonBlocking(TestSocket socket) {
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
}

inline void SetTestSocketOption(TestSocket socket, int level, int name, const void* value,
                                int length) {
    ::setsockopt(socket, level, name, value, static_cast<socklen_t>(length));
}

// A receive buffer of `size` bytes, past the system's usual limit where the test may.
inline void SetLargeReceiveBuffer(TestSocket socket, int size) {
    if (::setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
        ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
}

// For a listening socket the system reports the accept queue's length and its limit.
inline std::optional<bool> IsAcceptQueueFull(TestSocket listener) {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(listener, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) {
        return false;
    }
    return info.tcpi_unacked > info.tcpi_sacked;
}

// Has the system stamp each packet with its arrival time (accepted sockets inherit it).
inline void EnableArrivalStamps(TestSocket socket) {
    const int on = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
}

// A recv() that also sets `arrived` to the system's arrival stamp of the data, when it has one.
inline long ReceiveStamped(TestSocket socket, char* buffer, std::size_t size,
                           std::chrono::system_clock::time_point& arrived) {
    iovec data{buffer, size};
    alignas(cmsghdr) char control[128];
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = ::recvmsg(socket, &message, 0);
    for (cmsghdr* c = got > 0 ? CMSG_FIRSTHDR(&message) : nullptr; c != nullptr;
         c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec when{};
            std::memcpy(&when, CMSG_DATA(c), sizeof when);
            arrived = std::chrono::system_clock::time_point(
                std::chrono::duration_cast<std::chrono::system_clock::duration>(
                    std::chrono::seconds(when.tv_sec) + std::chrono::nanoseconds(when.tv_nsec)));
        }
    }
    return static_cast<long>(got);
}

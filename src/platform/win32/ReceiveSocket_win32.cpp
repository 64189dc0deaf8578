#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <utility>

#include "platform/ReceiveSocket.h"
#include "platform/Socket.h"

namespace {
// The one place where a Windows Sockets error becomes what the program reports: the system's
// own text for it, with its number.
std::string ReceiveErrorText(int error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    if (result.empty()) {
        result = "socket error";
    }
    return result + " (" + std::to_string(error) + ")";
}

SOCKET Native(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

sockaddr_in MakeAddress(std::uint32_t dwAddr, std::uint16_t wPort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(dwAddr);
    address.sin_port = htons(wPort);
    return address;
}

SOCKET OpenSocket(int type, int protocol) {
    if (!AcquireSocketLibrary()) {
        WSASetLastError(WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    return WSASocketW(AF_INET, type, protocol, nullptr, 0,
                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}
}  // namespace

bool ResolveIPv4Host(const std::string& host, std::uint32_t& dwAddr, std::string& errorText) {
    if (!AcquireSocketLibrary()) {
        errorText = ReceiveErrorText(WSANOTINITIALISED);
        return false;
    }
    in_addr parsed{};
    if (inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
        dwAddr = ntohl(parsed.s_addr);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int status = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (status != 0 || result == nullptr) {
        errorText = ReceiveErrorText(status != 0 ? status : WSAHOST_NOT_FOUND);
        return false;
    }
    dwAddr = ntohl(reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(result);
    return true;
}

CReceiveSocket::~CReceiveSocket() {
    Close();
}

CReceiveSocket::CReceiveSocket(CReceiveSocket&& other) noexcept
    : m_hSocket(std::exchange(other.m_hSocket, -1)),
      m_strLastError(std::move(other.m_strLastError)),
      m_bCountsDrops(std::exchange(other.m_bCountsDrops, false)),
      m_dwDropsSeen(std::exchange(other.m_dwDropsSeen, 0)) {}

CReceiveSocket& CReceiveSocket::operator=(CReceiveSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_hSocket = std::exchange(other.m_hSocket, -1);
        m_strLastError = std::move(other.m_strLastError);
        m_bCountsDrops = std::exchange(other.m_bCountsDrops, false);
        m_dwDropsSeen = std::exchange(other.m_dwDropsSeen, 0);
    }
    return *this;
}

bool CReceiveSocket::ListenTcp(std::uint32_t dwAddr, std::uint16_t wPort) {
    Close();
    const SOCKET handle = OpenSocket(SOCK_STREAM, IPPROTO_TCP);
    if (handle == INVALID_SOCKET) {
        m_strLastError = ReceiveErrorText(WSAGetLastError());
        return false;
    }
    // No SO_REUSEADDR: on Windows it would let a second receiver take the port from the first.
    // Old connections of an ended receiver do not keep the port from a new one here.
    // The longest queue of waiting connections the system allows: a burst of short connections
    // must not find it full, since a refused peer waits long before it tries again.
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    if (bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(handle, SOMAXCONN) != 0) {
        m_strLastError = ReceiveErrorText(WSAGetLastError());
        closesocket(handle);
        return false;
    }
    m_hSocket = static_cast<std::intptr_t>(handle);
    return true;
}

bool CReceiveSocket::BindUdp(std::uint32_t dwAddr, std::uint16_t wPort) {
    Close();
    const SOCKET handle = OpenSocket(SOCK_DGRAM, IPPROTO_UDP);
    if (handle == INVALID_SOCKET) {
        m_strLastError = ReceiveErrorText(WSAGetLastError());
        return false;
    }
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    if (bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        m_strLastError = ReceiveErrorText(WSAGetLastError());
        closesocket(handle);
        return false;
    }
    // Bursts of datagrams sent with no delay must not be dropped while a line is printed.
    const int size = 4 * 1024 * 1024;
    setsockopt(handle, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
    m_hSocket = static_cast<std::intptr_t>(handle);
    return true;
}

bool CReceiveSocket::JoinUdpGroup(std::uint32_t dwGroup, std::uint16_t wPort,
                                  std::uint32_t dwInterface) {
    Close();
    const SOCKET handle = OpenSocket(SOCK_DGRAM, IPPROTO_UDP);
    if (handle == INVALID_SOCKET) {
        m_strLastError = ReceiveErrorText(WSAGetLastError());
        return false;
    }
    // Several receivers of one group on one machine (a device and a test of it) share the port:
    // on Windows that is what SO_REUSEADDR does for datagram sockets.
    const BOOL on = TRUE;
    setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    const sockaddr_in address = MakeAddress(0, wPort);
    ip_mreq membership{};
    membership.imr_multiaddr.s_addr = htonl(dwGroup);
    membership.imr_interface.s_addr = htonl(dwInterface);
    if (bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        setsockopt(handle, IPPROTO_IP, IP_ADD_MEMBERSHIP,
                   reinterpret_cast<const char*>(&membership), sizeof membership) != 0) {
        m_strLastError = ReceiveErrorText(WSAGetLastError());
        closesocket(handle);
        return false;
    }
    const int size = 4 * 1024 * 1024;
    setsockopt(handle, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
    m_hSocket = static_cast<std::intptr_t>(handle);
    return true;
}

CReceiveSocket::ConnectResult CReceiveSocket::ConnectTcp(std::uint32_t dwAddr, std::uint16_t wPort,
                                                         int timeoutMs, std::intptr_t hCancel) {
    Close();
    const SOCKET handle = OpenSocket(SOCK_STREAM, IPPROTO_TCP);
    if (handle == INVALID_SOCKET) {
        m_strLastError = ReceiveErrorText(WSAGetLastError());
        return ConnectResult::kFailed;
    }
    // The connect reports its outcome to an event, waited for next to the cancel handle and the
    // time limit (a blocking connect could not be ended).
    const WSAEVENT connected = WSACreateEvent();
    int error = connected == WSA_INVALID_EVENT ? WSAGetLastError() : 0;
    bool bCancelled = false;
    if (error == 0 && WSAEventSelect(handle, connected, FD_CONNECT) != 0) {
        error = WSAGetLastError();
    }
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    if (error == 0 &&
        connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            const HANDLE handles[2] = {connected, reinterpret_cast<HANDLE>(hCancel)};
            const DWORD waited =
                WaitForMultipleObjects(hCancel != -1 ? 2 : 1, handles, FALSE,
                                       timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
            WSANETWORKEVENTS events{};
            if (hCancel != -1 && WaitForSingleObject(handles[1], 0) == WAIT_OBJECT_0) {
                bCancelled = true;
            } else if (waited == WAIT_TIMEOUT) {
                error = WSAETIMEDOUT;
            } else if (waited != WAIT_OBJECT_0 ||
                       WSAEnumNetworkEvents(handle, connected, &events) != 0) {
                error = WSAGetLastError();
            } else {
                error = (events.lNetworkEvents & FD_CONNECT) != 0
                            ? events.iErrorCode[FD_CONNECT_BIT]
                            : WSAETIMEDOUT;
            }
        }
    }
    if (connected != WSA_INVALID_EVENT) {
        WSAEventSelect(handle, nullptr, 0);
        WSACloseEvent(connected);
    }
    if (bCancelled || error != 0) {
        if (!bCancelled) {
            m_strLastError = ReceiveErrorText(error);
        }
        closesocket(handle);
        return bCancelled ? ConnectResult::kCancelled : ConnectResult::kFailed;
    }
    // Reads wait in WaitReadable; the socket itself blocks like an accepted one.
    u_long blocking = 0;
    ioctlsocket(handle, FIONBIO, &blocking);
    m_hSocket = static_cast<std::intptr_t>(handle);
    return ConnectResult::kConnected;
}

std::uint16_t CReceiveSocket::LocalPort() const {
    sockaddr_in address{};
    int length = sizeof address;
    if (m_hSocket == -1 ||
        getsockname(Native(m_hSocket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

CReceiveSocket::WaitResult CReceiveSocket::WaitReadable(std::intptr_t hCancel) const {
    if (m_hSocket == -1) {
        return WaitResult::kFailed;
    }
    const HANDLE cancel = reinterpret_cast<HANDLE>(hCancel);
    if (hCancel != -1 && WaitForSingleObject(cancel, 0) == WAIT_OBJECT_0) {
        return WaitResult::kCancelled;
    }
    // Selecting the events signals at once when one of them is already there (a connection
    // waiting, data, a close); the socket is put back into blocking mode afterwards.
    const SOCKET handle = Native(m_hSocket);
    const WSAEVENT readable = WSACreateEvent();
    if (readable == WSA_INVALID_EVENT) {
        return WaitResult::kFailed;
    }
    WaitResult result = WaitResult::kFailed;
    if (WSAEventSelect(handle, readable, FD_ACCEPT | FD_READ | FD_CLOSE) == 0) {
        const HANDLE handles[2] = {readable, cancel};
        const DWORD waited =
            WaitForMultipleObjects(hCancel != -1 ? 2 : 1, handles, FALSE, INFINITE);
        if (hCancel != -1 && WaitForSingleObject(cancel, 0) == WAIT_OBJECT_0) {
            result = WaitResult::kCancelled;
        } else if (waited == WAIT_OBJECT_0) {
            result = WaitResult::kReady;
        }
        WSAEventSelect(handle, nullptr, 0);
        u_long blocking = 0;
        ioctlsocket(handle, FIONBIO, &blocking);
    }
    WSACloseEvent(readable);
    return result;
}

bool CReceiveSocket::Accept(CReceiveSocket& connection, std::string& peerText) {
    connection.Close();
    sockaddr_in address{};
    int length = sizeof address;
    const SOCKET handle = accept(Native(m_hSocket), reinterpret_cast<sockaddr*>(&address), &length);
    if (handle == INVALID_SOCKET) {
        m_strLastError = ReceiveErrorText(WSAGetLastError());
        return false;
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    peerText = std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
    connection.m_hSocket = static_cast<std::intptr_t>(handle);
    return true;
}

long CReceiveSocket::Receive(void* pBuffer, std::size_t nCapacity) {
    const int capacity = nCapacity > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(nCapacity);
    const int count = recv(Native(m_hSocket), static_cast<char*>(pBuffer), capacity, 0);
    if (count != SOCKET_ERROR) {
        return count;
    }
    const int error = WSAGetLastError();
    if (error == WSAEMSGSIZE) {
        return capacity;  // a datagram longer than the buffer: its start, as on Linux
    }
    m_strLastError = ReceiveErrorText(error);
    // A reset by the peer ends the connection like a close; the caller sees -1.
    return -1;
}

std::optional<std::uint64_t> CReceiveSocket::DroppedDatagrams() const {
    // Windows keeps no count of the datagrams one socket dropped; a guess would mislead.
    return std::nullopt;
}

void CReceiveSocket::Close() noexcept {
    if (m_hSocket != -1) {
        closesocket(Native(m_hSocket));
        m_hSocket = -1;
    }
}

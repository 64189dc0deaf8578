#include "transport/TCPClient.h"

#include <exception>
#include <system_error>

#include "platform/Trace.h"

CTCPClient::CTCPClient() {
    // Without the event (out of descriptors) connects cannot be cancelled early; they still end
    // at their time limit.
    m_connectWake.Create();
}

CTCPClient::~CTCPClient() {
    Disconnect();
}

int CTCPClient::ConnectServ(std::uint32_t dwServAddr, int nServPort, ThreadRoutine routine,
                            void* param, std::stop_token stop) {
    try {
        return ConnectServImpl(dwServAddr, nServPort, routine, param, stop);
    } catch (...) {
        Trace("[CTCPClient::ConnectServ] ERROR - Exception");
        CloseSocket(m_socket);
        return -100;
    }
}

int CTCPClient::ConnectServImpl(std::uint32_t dwServAddr, int nServPort, ThreadRoutine routine,
                                void* param, const std::stop_token& stop) {
    if (dwServAddr == 0 || nServPort <= 0) {
        // A zero address reads "0" here rather than "0.0.0.0".
        const std::string text = dwServAddr == 0 ? "0" : FormatIPv4Address(dwServAddr);
        Trace("[CTCPClient::ConnectServ] ERROR - pszServAddr is %s, nServPort is %d", text.c_str(),
              nServPort);
        return -1;
    }

    // Closing wakes the old connection's thread at once, so waiting for it costs nothing and no
    // thread outlives the connection it watched.
    CloseSocket(m_socket);
    JoinThread();

    // A wake left over from an earlier call's stop token must not end this connect; a sticky
    // CancelConnect() must. The flag is tested again after the reset, so a cancel arriving in
    // between is not lost.
    if (!m_bConnectCancelled.load()) {
        m_connectWake.Reset();
    }

    SocketError error = SocketError::kNone;
    CSocket opened = CSocket::OpenStream(&error);
    if (!opened.IsOpen()) {
        Trace("[CTCPClient::ConnectServ] ERROR - Can't create socket(%u)", SocketErrorCode(error));
        return -3;
    }
    const auto socket = std::make_shared<CSocket>(std::move(opened));
    StoreSocket(m_socket, socket);

    const auto wPort = static_cast<std::uint16_t>(static_cast<unsigned>(nServPort) & 0xFFFFu);
    m_servAddr = dwServAddr;
    m_servPort = wPort;

    {
        std::stop_callback onStop(stop, [this] { m_connectWake.Set(); });
        if (m_bConnectCancelled.load() || stop.stop_requested()) {
            error = SocketError::kInterrupted;
        } else {
            error = socket->Connect(dwServAddr, wPort, m_connectTimeout.load(), m_connectWake);
        }
    }
    if (error != SocketError::kNone) {
        Trace("[CTCPClient::ConnectServ] ERROR - connect error(%u)", SocketErrorCode(error));
        CloseSocket(m_socket);
        return -4;
    }

    try {
        std::lock_guard lock(m_threadLock);
        m_hThread = std::thread(routine, param);
    } catch (const std::system_error& failure) {
        Trace("[CTCPClient::ConnectServ] ERROR - Can't create thread(%u)",
              static_cast<unsigned>(failure.code().value()));
        CloseSocket(m_socket);
        return -5;
    }
    return 0;
}

std::int64_t CTCPClient::Send(const char* buf, std::size_t len, int flags) {
    // Our own reference: a Disconnect from another thread shuts the socket down (this send fails)
    // but cannot release the descriptor under us.
    const SocketHandle socket = LoadSocket(m_socket);
    if (!socket || len > static_cast<std::size_t>(INT64_MAX) || (buf == nullptr && len > 0)) {
        return -1;
    }
    std::size_t total = 0;
    do {
        const std::int64_t sent = socket->Send(buf + total, len - total, flags, nullptr);
        if (sent < 0) {
            return -1;
        }
        total += static_cast<std::size_t>(sent);
    } while (total < len);
    return static_cast<std::int64_t>(total);
}

std::int64_t CTCPClient::Receive(char* buf, std::size_t capacity, std::chrono::milliseconds timeout,
                                 const CWakeEvent& cancel) {
    const SocketHandle socket = LoadSocket(m_socket);
    if (!socket) {
        return -1;
    }
    const SocketError waited = socket->WaitReadable(cancel, timeout);
    if (waited == SocketError::kInterrupted || waited == SocketError::kTimedOut) {
        return 0;
    }
    if (waited != SocketError::kNone) {
        return -1;
    }
    const std::int64_t count = socket->Receive(buf, capacity, nullptr);
    return count > 0 ? count : -1;  // 0: the server closed the connection
}

bool CTCPClient::DiscardIncoming() {
    const SocketHandle socket = LoadSocket(m_socket);
    return socket && socket->DiscardIncoming();
}

bool CTCPClient::SendImmediately() {
    const SocketHandle socket = LoadSocket(m_socket);
    return socket && socket->SetNoDelay() == SocketError::kNone;
}

int CTCPClient::Disconnect() {
    CloseSocket(m_socket);
    JoinThread();
    return 0;
}

bool CTCPClient::IsConnected() const {
    return LoadSocket(m_socket) != nullptr;
}

bool CTCPClient::WaitForDisconnect(std::chrono::milliseconds period) {
    return WaitForSocketClose(m_socket, period);
}

void CTCPClient::CancelConnect() {
    // The flag first: a connect that clears a stale wake afterwards still sees it.
    m_bConnectCancelled.store(true);
    m_connectWake.Set();
}

void CTCPClient::AllowConnect() {
    m_bConnectCancelled.store(false);
    m_connectWake.Reset();
}

void CTCPClient::JoinThread() {
    std::lock_guard lock(m_threadLock);
    if (!m_hThread.joinable()) {
        return;
    }
    if (m_hThread.get_id() == std::this_thread::get_id()) {
        // The connection's own routine closed it: it cannot wait for itself.
        m_hThread.detach();
        return;
    }
    m_hThread.join();
}

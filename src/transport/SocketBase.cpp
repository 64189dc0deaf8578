#include "transport/SocketBase.h"

#include "platform/Trace.h"

CSocketBase::CSocketBase() {
    // The object goes on even without sockets: every later socket call then fails and reports
    // through its own code.
    m_bLibraryStarted = AcquireSocketLibrary();
    if (!m_bLibraryStarted) {
        Trace("[CSocketBase::CSocketBase] ERROR - WSAStartup Error");
    }
}

CSocketBase::~CSocketBase() {
    if (m_bLibraryStarted) {
        ReleaseSocketLibrary();
    }
}

int CSocketBase::CloseSocket(SocketHandle& s) {
    {
        std::lock_guard lock(m_cs);
        if (!s) {
            return 0;
        }
        // Shut down first so that a send blocked in another thread on this socket fails at once;
        // that thread holds its own reference, so the descriptor is released after it returns.
        s->Shutdown();
        s.reset();
    }
    m_cvClosed.notify_all();
    return 0;
}

SocketHandle CSocketBase::LoadSocket(const SocketHandle& s) const {
    std::lock_guard lock(m_cs);
    return s;
}

void CSocketBase::StoreSocket(SocketHandle& s, SocketHandle value) {
    std::lock_guard lock(m_cs);
    s = std::move(value);
}

bool CSocketBase::WaitForSocketClose(const SocketHandle& s, std::chrono::milliseconds period) {
    std::unique_lock lock(m_cs);
    return m_cvClosed.wait_for(lock, period, [&s] { return !s; });
}

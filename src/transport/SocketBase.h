#pragma once
// The common base of the socket objects: one sockets-library reference for the object's lifetime
// and the one lock under which the object's sockets are tested, closed and marked closed.
// Any thread may close a socket through CloseSocket(); whoever waits for a socket to be closed
// (the connection's watch thread) is woken at once. Construction never fails: when sockets
// cannot be used, a trace is written and later socket calls fail with their own codes.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/Socket.h"

// A socket held by a socket object. An empty handle is the invalid socket: "not connected".
// It is shared so that a send in progress keeps the descriptor alive while another thread closes
// the connection: the close shuts the socket down at once (the send fails), and the descriptor
// itself goes back to the system when the last holder lets go, never while it is still in use.
using SocketHandle = std::shared_ptr<CSocket>;

class CSocketBase {
  public:
    CSocketBase();
    ~CSocketBase();
    CSocketBase(const CSocketBase&) = delete;
    CSocketBase& operator=(const CSocketBase&) = delete;

    // Closes `s` under the lock if it is valid and marks it invalid; wakes every thread waiting
    // for a close. Calling it on an invalid handle does nothing. Always returns 0.
    int CloseSocket(SocketHandle& s);

  protected:
    // A copy of `s` taken under the lock (empty when it is invalid).
    SocketHandle LoadSocket(const SocketHandle& s) const;
    // Replaces `s` under the lock.
    void StoreSocket(SocketHandle& s, SocketHandle value);
    // Waits until `s` is invalid or `period` has passed; true when it is invalid.
    bool WaitForSocketClose(const SocketHandle& s, std::chrono::milliseconds period);

  private:
    mutable std::mutex m_cs;
    std::condition_variable m_cvClosed;
    bool m_bLibraryStarted = false;
};

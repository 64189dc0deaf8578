#pragma once
// One outgoing TCP connection to a server address and port, plus one thread that lives exactly
// as long as the connection (the owner's routine, normally a watch that ends when the socket is
// closed).
//
// Threads: the owner (the playback thread) calls ConnectServ, Send and Disconnect. Any other
// thread may at the same time call Disconnect (a Send in progress then returns -1 at once),
// IsConnected, CancelConnect and AllowConnect; the destructor runs once every caller is done.
//
// Failures: ConnectServ returns 0 or a negative code (-1 bad address or port, -3 no socket,
// -4 connect failed, timed out or cancelled, -5 no thread, -100 unexpected); Send returns the
// length or -1; Disconnect always returns 0. Each failure of ConnectServ writes a trace.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <thread>

#include "platform/Socket.h"
#include "platform/WakeEvent.h"
#include "transport/SocketBase.h"

// The routine run by a connection's thread; its result is the thread's exit code.
using ThreadRoutine = std::uint32_t (*)(void* pParam);

class CTCPClient : public CSocketBase {
  public:
    // How long a connect may take before it fails with -4. The system's own limit is over two
    // minutes, during which playback could not be stopped.
    static constexpr std::chrono::milliseconds kDefaultConnectTimeout{5000};

    CTCPClient();
    ~CTCPClient();  // Disconnect(), then the base

    // Opens a connection to dwServAddr (IPv4, host byte order) and the low 16 bits of nServPort,
    // then starts a thread running routine(param). Returns 0 or a negative code:
    //   -1  dwServAddr is 0 or nServPort <= 0; nothing changes (an open connection stays open)
    //   -3  no socket could be created
    //   -4  the connect failed, did not complete within the connect timeout, or was cancelled
    //       (through `stop`, or CancelConnect() from another thread)
    //   -5  the thread could not be started
    //   -100 unexpected failure
    // After every negative code except -1 the client is not connected and has no thread.
    // A connection already open is closed first (and its thread, already woken by the close,
    // is waited for).
    int ConnectServ(std::uint32_t dwServAddr, int nServPort, ThreadRoutine routine, void* param,
                    std::stop_token stop = {});

    // Sends all len bytes (any length the system can address), calling the system as often as
    // it needs. Returns len (0 for a zero length) or -1 when any send fails, including when not
    // connected or when another thread closed the connection meanwhile. Bytes sent before a
    // failure stay sent. `flags` are extra send flags, 0 in normal use.
    std::int64_t Send(const char* buf, std::size_t len, int flags);

    // What the server sends back, for a run that waits for its answers (the run's thread).
    // Receive waits at most `timeout` for bytes, ending early when `cancel` is set, and reads
    // what is there into buf: the count, 0 when the wait ended without bytes, -1 when the
    // connection is closed, broken or not open. DiscardIncoming drops what has arrived so far
    // without waiting; false when the connection is closed or broken.
    std::int64_t Receive(char* buf, std::size_t capacity, std::chrono::milliseconds timeout,
                         const CWakeEvent& cancel);
    bool DiscardIncoming();
    // Each send goes out at once, however small (a line sent a byte at a time must not be
    // gathered into fewer segments). False when not connected or the system refused.
    bool SendImmediately();

    // Closes the socket and waits for the connection's thread to end (it is woken at once).
    // Always returns 0.
    int Disconnect();

    // True while a connection is open (from the start of a connect until it is closed).
    bool IsConnected() const;

    // Waits until the connection is closed or `period` has passed; true when it is closed.
    // Used by the connection's thread instead of a fixed sleep.
    bool WaitForDisconnect(std::chrono::milliseconds period);

    // Ends a connect in progress at once (-4) and makes every later ConnectServ fail at once
    // with -4, until AllowConnect(). Any thread. Being sticky, it cannot be lost when it arrives
    // just before the owner starts its connect; the owner re-arms with AllowConnect() before it
    // starts a new run. A stop_token passed to ConnectServ does the same for one call only.
    void CancelConnect();
    void AllowConnect();

    void SetConnectTimeout(std::chrono::milliseconds timeout) { m_connectTimeout = timeout; }

    // Address and port (low 16 bits) of the last connection attempt that passed validation.
    std::uint32_t ServerAddress() const { return m_servAddr.load(); }
    std::uint16_t ServerPort() const { return m_servPort.load(); }

  private:
    int ConnectServImpl(std::uint32_t dwServAddr, int nServPort, ThreadRoutine routine, void* param,
                        const std::stop_token& stop);
    void JoinThread();

    SocketHandle m_socket;  // under the base's lock
    std::atomic<std::uint32_t> m_servAddr{0};
    std::atomic<std::uint16_t> m_servPort{0};
    std::mutex m_threadLock;  // guards m_hThread; never held together with the base's lock
    std::thread m_hThread;
    std::atomic<std::chrono::milliseconds> m_connectTimeout{kDefaultConnectTimeout};
    std::atomic<bool> m_bConnectCancelled{false};
    CWakeEvent m_connectWake;
};

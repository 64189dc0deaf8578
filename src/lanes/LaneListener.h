#pragma once
// A listen lane's listening socket and the devices that connected to it: opened before anything
// is sent (so that a port that cannot be had refuses the run, and the port the system chose is
// known), handed to the lanes' event loop when the lane starts, and the record of each device's
// connection (its number, address, the lines it took whole) that the front end reads at the end.
// The front end's notices come as devices connect, disconnect or are dropped.
//
// Threads: the owner's thread calls Listen, SetConnectionNotices before the run, and Connections
// after it (or at any time: the record is locked); the lane's loop calls the rest. The notices
// are made on the loop's thread and must return promptly.
// Failures: Listen returns the system's reason (SocketError); nothing throws.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Socket.h"
#include "transport/SocketServer.h"

class CLaneListener {
  public:
    using ConnectionNotice = std::function<void(const ListenConnection&)>;

    CLaneListener() = default;
    CLaneListener(const CLaneListener&) = delete;
    CLaneListener& operator=(const CLaneListener&) = delete;

    // Listens on dwAddr:wPort (host byte order; 0.0.0.0 every interface, port 0 one the system
    // chooses), with the longest queue of waiting connections the system allows.
    SocketError Listen(std::uint32_t dwAddr, std::uint16_t wPort);
    std::uint16_t ListenPort() const { return m_wPort; }

    // Set before the run: a device connected; its connection ended (it closed it, a send to it
    // failed, or the run ended); it was dropped for not reading what it was sent.
    void SetConnectionNotices(ConnectionNotice onOpened, ConnectionNotice onClosed,
                              ConnectionNotice onDropped);
    // Every connection so far, in the order they came.
    std::vector<ListenConnection> Connections() const;

    // --- the lane's side ------------------------------------------------------------------
    // The listening socket, handed over once (closed afterwards: -1).
    std::intptr_t TakeSocket() { return m_socket.Detach(); }
    // A device from `address` connected: its number (1, 2, ...), told to the notice.
    std::uint64_t Opened(const std::string& address);
    // Device `number` has now taken `lines` lines whole.
    void Counted(std::uint64_t number, std::uint64_t lines);
    // Device `number`'s connection ended; `bDropped` when the lane dropped it for not reading.
    void Closed(std::uint64_t number, bool bDropped);

  private:
    CSocket m_socket;
    std::uint16_t m_wPort = 0;
    ConnectionNotice m_onOpened;
    ConnectionNotice m_onClosed;
    ConnectionNotice m_onDropped;
    mutable std::mutex m_mutex;
    std::vector<ListenConnection> m_connections;  // under m_mutex; index nNumber - 1
};

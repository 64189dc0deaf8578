#pragma once
// CCommThread: the RS-232 channel of one engine run. In send mode the channel's own thread
// writes the queued byte strings to the port in order; in receive mode it reads everything that
// arrives and keeps it as a list of byte chunks until the engine takes them. A run that waits for
// the device's answers opens it for both: the two threads then run side by side.
// Threads: one caller thread (an engine) makes every call; the channel thread is internal.
// ClosePort (and the destructor) wake the channel thread and wait for it, so no thread touches a
// closed or destroyed channel.
// Failures: OpenPort returns false; a port that cannot be opened, or a receive thread that cannot
// start watching, is reported to the user through the CMessageSink (if any) and traced; write and
// read errors are traced only.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include "platform/SerialPort.h"
#include "platform/WakeEvent.h"

class CMessageSink;

// Open modes: which thread OpenPort starts.
inline constexpr int COMM_MODE_WRITE = 1;       // ThreadWriteComm
inline constexpr int COMM_MODE_READ = 2;        // ThreadWatchComm
inline constexpr int COMM_MODE_READ_WRITE = 3;  // both; HasChannelThread tells of the writer

// Caption of the boxes shown when a port cannot be opened.
inline constexpr const char* kSerialOpenErrorCaption = "Slipwarden";

// Milliseconds per byte that a write may take at `dwBaudRate`: 19200 / baud, 0 (no limit) for
// a baud rate of 0.
uint32_t CommWriteMultiplier(uint32_t dwBaudRate);

class CCommThread {
  public:
    // `pMessageSink` receives the boxes the user must see; nullptr: they are traced only.
    explicit CCommThread(CMessageSink* pMessageSink = nullptr);
    virtual ~CCommThread();
    CCommThread(const CCommThread&) = delete;
    CCommThread& operator=(const CCommThread&) = delete;

    // Settings for the next OpenPort; the low byte of each of the last three is kept.
    void SetLineSettings(uint32_t dwBaudRate, int32_t nParity, int32_t nByteSize,
                         int32_t nStopBits);

    // Opens `strPortName` ("COM5", "\\.\COM15" or a device path), configures it and starts the
    // thread of `nMode`. True when the port is open, configured and its thread runs. When the
    // port refuses the settings the result is false but the port stays open (IsOpen) without a
    // thread. A channel that is already open is closed first; a mode other than the two opens
    // nothing and gives false.
    bool OpenPort(const std::string& strPortName, int nMode);
    bool IsOpen() const;
    // True while the channel thread runs (it may end early: on an exception, or when the
    // receive thread cannot start watching).
    bool HasChannelThread() const;

    // Queues a copy of `bytes` (any bytes, NUL included) for ThreadWriteComm; does not wait.
    void QueueSend(std::string_view bytes);
    // For a line that goes out in pieces: queues a copy of `bytes` once the strings queued and
    // not yet written hold less than kSendRoom bytes, waiting for the channel thread to write
    // them meanwhile, so that a line of any length costs only that much memory. False, with
    // nothing queued, when the channel thread is not running (or ends during the wait) or when
    // `stop` is requested.
    bool QueueSendWhenRoom(std::string_view bytes, std::stop_token stop);

    // The most bytes QueueSendWhenRoom lets wait for the port.
    static constexpr std::size_t kSendRoom = 1024 * 1024;
    // Moves the oldest received chunk into `strChunk`; leaves it as it was when there is none.
    void TakeReceived(std::string& strChunk);
    // Opened for both directions: waits until a chunk has been received and moves it into
    // `strChunk`. False when `deadline` passes or `stop` is requested first.
    bool WaitReceived(std::string& strChunk, std::chrono::steady_clock::time_point deadline,
                      std::stop_token stop);
    // Drops every chunk received so far (what came before a line answers nothing).
    void DiscardReceived();

    // Waits until every queued string has been written and has left the port, so that closing
    // the port after the last line of a run loses nothing. Returns false without waiting further
    // when `stop` is requested, when the channel thread has ended, or when the port makes no
    // progress for two seconds (a line held by hardware flow control, a device gone).
    bool WaitUntilSent(std::stop_token stop);

    // Stops the channel: wakes its thread, discards what the driver holds, waits for the thread
    // (which drops what is still queued or received) and closes the port. On a closed channel it
    // only clears the run flag.
    void ClosePort();

    const std::string& PortName() const { return m_strPortName; }

  private:
    void ThreadWriteComm();
    void ThreadWatchComm();
    bool TakeSend(std::string& strBytes);
    void QueueReceived(std::string strChunk);
    size_t WriteComm(const char* pData, size_t nLength);
    uint32_t ReadComm(char* pBuffer, size_t nCapacity);
    void ShowMessage(const std::string& strText, const char* pszCaption);

    std::mutex m_sendMutex;  // guards m_sendQueue
    std::deque<std::string> m_sendQueue;
    bool m_bWriting = false;  // a string taken from m_sendQueue is being written (m_sendMutex)
    // Bytes of the strings queued or being written (m_sendMutex).
    std::size_t m_nUnwrittenBytes = 0;
    // Tells WaitUntilSent that a write has finished (with m_sendMutex).
    std::condition_variable_any m_hSentEvent;
    std::mutex m_recvMutex;                    // guards m_recvList
    std::condition_variable_any m_hRecvEvent;  // a chunk was queued (with m_recvMutex)
    int m_nMode = 0;                           // of the open port; fixed before its threads start
    std::deque<std::string> m_recvList;
    CSerialPort m_hComm;
    std::string m_strPortName;
    std::atomic<bool> m_bConnected{false};
    std::atomic<bool> m_bThreadRunning{false};
    // Everything queued has left the port (WaitUntilSent); the next QueueSend clears it.
    std::atomic<bool> m_bDrained{false};
    // Ends a write that waits for room in the driver; set by ClosePort.
    CWakeEvent m_hWakeEvent;
    std::thread m_hWriteThread;
    std::thread m_hWatchThread;
    // Wakes ThreadWriteComm when a string is queued or the channel closes (with m_sendMutex).
    std::condition_variable m_hSendEvent;
    // The receive thread's own wake-up event while it runs, so ClosePort can end its wait.
    std::mutex m_watchMutex;
    CWakeEvent* m_pWatchEvent = nullptr;
    CMessageSink* m_pMessageSink;
    uint32_t m_dwBaudRate = 9600;
    uint8_t m_byByteSize = 8;
    uint8_t m_byParity = 0;
    uint8_t m_byStopBits = 0;
    // Write time limit per byte, fixed when the port is opened.
    uint32_t m_dwWriteMultiplier = 0;
};

// True when the port can be opened right now (present and not held by anyone); it is released
// again at once.
bool ProbeComPort(const std::string& strPortName);

#include "transport/CommThread.h"

#include <chrono>

#include <algorithm>
#include <limits>
#include <system_error>
#include <vector>

#include "platform/Trace.h"
#include "transport/MessageSink.h"
#include "transport/SerialOpenText.h"

namespace {
// Each read takes what the driver holds, up to this much.
constexpr size_t kReadCapacity = 8192;
// Pause after each drained burst: bounds the rate at which chunks are produced.
constexpr int kBurstPauseMs = 10;
// Pause when the port reports data or trouble but nothing could be read (a device that went
// away reports that without end; this keeps the thread from spinning on it).
constexpr int kIdlePauseMs = 100;
}  // namespace

uint32_t CommWriteMultiplier(uint32_t dwBaudRate) {
    // A baud rate of 0 reaches us from an empty baud field; it means "no write time limit"
    // rather than a division by zero.
    return dwBaudRate == 0 ? 0 : 19200U / dwBaudRate;
}

CCommThread::CCommThread(CMessageSink* pMessageSink) : m_pMessageSink(pMessageSink) {}

CCommThread::~CCommThread() {
    ClosePort();
    std::lock_guard sendLock(m_sendMutex);
    m_sendQueue.clear();
    m_nUnwrittenBytes = 0;
    std::lock_guard recvLock(m_recvMutex);
    m_recvList.clear();
}

void CCommThread::SetLineSettings(uint32_t dwBaudRate, int32_t nParity, int32_t nByteSize,
                                  int32_t nStopBits) {
    m_dwBaudRate = dwBaudRate;
    m_byParity = static_cast<uint8_t>(nParity & 0xFF);
    m_byByteSize = static_cast<uint8_t>(nByteSize & 0xFF);
    m_byStopBits = static_cast<uint8_t>(nStopBits & 0xFF);
}

bool CCommThread::OpenPort(const std::string& strPortName, int nMode) {
    if (nMode != COMM_MODE_WRITE && nMode != COMM_MODE_READ && nMode != COMM_MODE_READ_WRITE) {
        return false;
    }
    m_bDrained = false;
    if (IsOpen()) {
        // A second open would leak the port and its thread; start over instead.
        ClosePort();
    }
    m_bConnected = false;

    if (m_hWakeEvent.Create().Failed()) {
        return false;
    }
    m_strPortName = strPortName;

    if (const uint32_t error = m_hComm.Open(SerialDevicePath(strPortName)); error != 0) {
        m_hWakeEvent.Close();
        ShowMessage(SerialOpenFailureText(strPortName, error), kSerialOpenErrorCaption);
        return false;
    }

    // Start from empty driver queues: nothing left over from whoever used the port before.
    m_hComm.Purge();
    m_dwWriteMultiplier = CommWriteMultiplier(m_dwBaudRate);

    const SerialLineSettings settings{m_dwBaudRate, m_byByteSize, m_byParity, m_byStopBits};
    if (const uint32_t error = m_hComm.Configure(settings); error != 0) {
        // The port stays open without a thread; the caller sees IsOpen() and closes it.
        Trace("[%s][CCommThread::OpenPort] ERROR - SetCommState(%u)", kProgramName, error);
        return false;
    }

    m_bConnected = true;
    m_bThreadRunning = true;
    m_nMode = nMode;
    try {
        if (nMode != COMM_MODE_READ) {
            m_hWriteThread = std::thread(&CCommThread::ThreadWriteComm, this);
        }
        if (nMode != COMM_MODE_WRITE) {
            m_hWatchThread = std::thread(&CCommThread::ThreadWatchComm, this);
        }
    } catch (const std::system_error& failure) {
        m_bThreadRunning = false;
        Trace(nMode == COMM_MODE_WRITE ? "[%s][CCommThread::OpenPort] ERROR - CreateThread(%u)"
                                       : "[%s][CCommThread::OpenPort] ERROR - CreateThrad(%u)",
              kProgramName, static_cast<unsigned>(failure.code().value()));
        ClosePort();
        return false;
    }
    return true;
}

bool CCommThread::IsOpen() const {
    return m_hComm.IsOpen();
}

bool CCommThread::HasChannelThread() const {
    return m_bThreadRunning;
}

void CCommThread::QueueSend(std::string_view bytes) {
    m_bDrained = false;
    {
        std::lock_guard lock(m_sendMutex);
        m_sendQueue.emplace_back(bytes);
        m_nUnwrittenBytes += bytes.size();
    }
    m_hSendEvent.notify_one();
}

bool CCommThread::QueueSendWhenRoom(std::string_view bytes, std::stop_token stop) {
    {
        // Each write that ends tells m_hSentEvent, and so does the end of the channel thread.
        std::unique_lock lock(m_sendMutex);
        if (!m_hSentEvent.wait(
                lock, stop,
                [this] { return m_nUnwrittenBytes < kSendRoom || !m_bThreadRunning; }) ||
            !m_bThreadRunning) {
            return false;
        }
        m_bDrained = false;
        m_sendQueue.emplace_back(bytes);
        m_nUnwrittenBytes += bytes.size();
    }
    m_hSendEvent.notify_one();
    return true;
}

void CCommThread::TakeReceived(std::string& strChunk) {
    std::lock_guard lock(m_recvMutex);
    if (!m_recvList.empty()) {
        strChunk = std::move(m_recvList.front());
        m_recvList.pop_front();
    }
}

bool CCommThread::WaitReceived(std::string& strChunk,
                               std::chrono::steady_clock::time_point deadline,
                               std::stop_token stop) {
    std::unique_lock lock(m_recvMutex);
    if (!m_hRecvEvent.wait_until(lock, stop, deadline, [this] { return !m_recvList.empty(); })) {
        return false;
    }
    strChunk = std::move(m_recvList.front());
    m_recvList.pop_front();
    return true;
}

void CCommThread::DiscardReceived() {
    std::lock_guard lock(m_recvMutex);
    m_recvList.clear();
}

bool CCommThread::WaitUntilSent(std::stop_token stop) {
    using namespace std::chrono_literals;
    {
        // First the channel's own queue: every string handed to the driver.
        std::unique_lock lock(m_sendMutex);
        if (!m_hSentEvent.wait(lock, stop, [this] {
                return (m_sendQueue.empty() && !m_bWriting) || !m_bThreadRunning;
            })) {
            return false;
        }
        if (!m_bThreadRunning) {
            return false;
        }
    }
    // Then the driver's queue: the bytes still on their way out of the port.
    std::mutex pauseMutex;
    std::condition_variable_any pause;
    std::size_t lastCount = m_hComm.OutputCount();
    auto lastProgress = std::chrono::steady_clock::now();
    while (lastCount != 0) {
        std::unique_lock lock(pauseMutex);
        if (pause.wait_for(lock, stop, 5ms, [] { return false; }); stop.stop_requested()) {
            return false;
        }
        const std::size_t count = m_hComm.OutputCount();
        const auto now = std::chrono::steady_clock::now();
        if (count < lastCount) {
            lastProgress = now;
        } else if (now - lastProgress > 2s) {
            return false;
        }
        lastCount = count;
    }
    m_bDrained = true;
    return true;
}

void CCommThread::ClosePort() {
    m_bConnected = false;
    if (!IsOpen()) {
        return;
    }
    // Wake the channel thread wherever it waits: for a string to send, for room to write,
    // or for data to arrive.
    { std::lock_guard lock(m_sendMutex); }
    m_hSendEvent.notify_all();
    m_hWakeEvent.Set();
    {
        std::lock_guard lock(m_watchMutex);
        if (m_pWatchEvent != nullptr) {
            m_pWatchEvent->Set();
        }
    }
    // Bytes not yet sent are lost, as are bytes received but not yet read. After a completed
    // WaitUntilSent nothing of ours is left to lose, and a purge could only discard what the
    // far end has not read yet (a pseudo-terminal holds sent bytes until its reader takes them).
    const bool drained = m_bDrained.exchange(false);
    if (!drained) {
        m_hComm.Purge();
    }
    if (m_hWriteThread.joinable()) {
        m_hWriteThread.join();
    }
    if (m_hWatchThread.joinable()) {
        m_hWatchThread.join();
    }
    // Whatever a write put into the driver between the purge and the thread's end goes too;
    // closing a port with output pending would otherwise wait for it to drain.
    if (!drained) {
        m_hComm.Purge();
    }
    m_hComm.Close();
    m_hWakeEvent.Close();
}

bool CCommThread::TakeSend(std::string& strBytes) {
    std::lock_guard lock(m_sendMutex);
    if (m_sendQueue.empty()) {
        return false;
    }
    strBytes = std::move(m_sendQueue.front());
    m_sendQueue.pop_front();
    m_bWriting = true;
    return true;
}

void CCommThread::QueueReceived(std::string strChunk) {
    {
        std::lock_guard lock(m_recvMutex);
        m_recvList.push_back(std::move(strChunk));
    }
    m_hRecvEvent.notify_all();
}

size_t CCommThread::WriteComm(const char* pData, size_t nLength) {
    // The time limit grows with the string: m_dwWriteMultiplier ms per byte, no constant part.
    const uint64_t limit = static_cast<uint64_t>(m_dwWriteMultiplier) * nLength;
    const auto timeoutMs =
        static_cast<uint32_t>(std::min<uint64_t>(limit, std::numeric_limits<uint32_t>::max()));
    return m_hComm.Write(pData, nLength, timeoutMs, m_hWakeEvent);
}

uint32_t CCommThread::ReadComm(char* pBuffer, size_t nCapacity) {
    if (m_hComm.InputCount() == 0) {
        return 0;
    }
    return static_cast<uint32_t>(m_hComm.Read(pBuffer, nCapacity));
}

void CCommThread::ThreadWriteComm() {
    Trace("[CCommThread][ThreadWriteComm] Thread Start");
    try {
        while (m_bConnected) {
            {
                std::unique_lock lock(m_sendMutex);
                m_hSendEvent.wait(lock, [this] { return !m_sendQueue.empty() || !m_bConnected; });
            }
            if (!m_bConnected) {
                break;
            }
            std::string bytes;
            if (!TakeSend(bytes)) {
                continue;
            }
            const size_t written = WriteComm(bytes.data(), bytes.size());
            {
                std::lock_guard lock(m_sendMutex);
                m_bWriting = false;
                m_nUnwrittenBytes -= bytes.size();
            }
            m_hSentEvent.notify_all();
            if (written != bytes.size()) {
                // Traced only: the string is not written again, the next one follows.
                Trace("Write data is not correct!(%llu,%llu)",
                      static_cast<unsigned long long>(written),
                      static_cast<unsigned long long>(bytes.size()));
            }
        }
    } catch (...) {
        // An exception ends the loop; the port stays open until ClosePort.
    }
    {
        std::lock_guard lock(m_sendMutex);
        m_sendQueue.clear();
        m_nUnwrittenBytes = 0;
        m_bWriting = false;
        m_bThreadRunning = false;
    }
    m_hSentEvent.notify_all();
    Trace("[CCommThread][ThreadWriteComm] Thread Stop");
}

void CCommThread::ThreadWatchComm() {
    // The thread's own wake-up event: ClosePort sets it to end the wait for data at once.
    CWakeEvent watchEvent;
    std::vector<char> buffer;
    bool ready = !watchEvent.Create().Failed();
    try {
        buffer.assign(kReadCapacity, 0);
    } catch (...) {
        ready = false;
    }
    if (!ready) {
        // Nothing is received; the port stays open until ClosePort.
        ShowMessage("Error while creating ThreadWatchComm, " + m_strPortName, kProgramName);
        if (m_nMode != COMM_MODE_READ_WRITE) {
            m_bThreadRunning = false;  // with both threads the flag is the writer's
        }
        return;
    }
    {
        std::lock_guard lock(m_watchMutex);
        m_pWatchEvent = &watchEvent;
    }
    try {
        // ClosePort clears the flag before it sets the event: either this test sees the flag
        // clear, or the wait below returns at once.
        while (m_bConnected) {
            const SerialWaitResult result = m_hComm.WaitForData(watchEvent);
            if (result == SerialWaitResult::kWoken) {
                continue;
            }
            size_t total = 0;
            if (result == SerialWaitResult::kDataReady) {
                // Drain the driver; each read is one chunk, NUL bytes and all.
                while (const uint32_t count = ReadComm(buffer.data(), buffer.size())) {
                    std::string chunk(buffer.data(), count);
                    Trace("[CCommThread::ThreadReadComm] %s", chunk.c_str());
                    QueueReceived(std::move(chunk));
                    total += count;
                }
                std::fill(buffer.begin(), buffer.end(), 0);
            }
            watchEvent.Wait(total != 0 ? kBurstPauseMs : kIdlePauseMs);
        }
    } catch (...) {
        Trace("[CCommThread::ThreadReadComm] Exception");
    }
    {
        std::lock_guard lock(m_watchMutex);
        m_pWatchEvent = nullptr;
    }
    {
        std::lock_guard lock(m_recvMutex);
        m_recvList.clear();
    }
    if (m_nMode != COMM_MODE_READ_WRITE) {
        m_bThreadRunning = false;
    }
}

void CCommThread::ShowMessage(const std::string& strText, const char* pszCaption) {
    if (m_pMessageSink != nullptr) {
        m_pMessageSink->ShowMessage(strText, pszCaption);
    } else {
        Trace("[CCommThread] %s: %s", pszCaption, strText.c_str());
    }
}

bool ProbeComPort(const std::string& strPortName) {
    CSerialPort port;
    return port.Open(SerialDevicePath(strPortName)) == 0;
}

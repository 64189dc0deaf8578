// COM ports on Windows: CreateFileA on "\\.\COMn" with share mode 0, overlapped I/O. Every wait
// (for data, for room in a write) waits on the operation's event next to the caller's wake-up
// event, so that closing the channel ends it at once.
#include <windows.h>

#include "platform/SerialPort.h"
#include "platform/SerialPortRules.h"
#include "platform/SystemError.h"
#include "platform/WakeEvent.h"

namespace {

// The code of a failed port operation. Windows refuses a port that another program holds (share
// mode 0) with "access denied", and a port has no other reason to say so: for a port that is the
// port being held, the one failure that reads "already used".
uint32_t PortError(SystemError error) {
    if (error.kind == SystemErrorKind::kAccessDenied) {
        error.kind = SystemErrorKind::kHeldByAnother;
    }
    return SerialErrorOf(error);
}

uint32_t LastPortError() {
    return PortError(LastSystemError());
}

HANDLE Native(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Driver queues of 4096 bytes each way.
constexpr DWORD kQueueSize = 4096;
// The longest a read of bytes the driver already holds may take before it is given up.
constexpr DWORD kReadWaitMs = 1000;

// How long a cancelled operation may take to end before it is given up for lost.
constexpr DWORD kCancelWaitMs = 2000;

// An event and an OVERLAPPED record for one overlapped operation, released with it.
class COperation {
  public:
    COperation() : m_overlapped(new OVERLAPPED{}) {
        m_overlapped->hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~COperation() {
        if (m_overlapped != nullptr) {
            if (m_overlapped->hEvent != nullptr) {
                CloseHandle(m_overlapped->hEvent);
            }
            delete m_overlapped;
        }
    }
    COperation(const COperation&) = delete;
    COperation& operator=(const COperation&) = delete;

    bool IsReady() const { return m_overlapped->hEvent != nullptr; }
    OVERLAPPED* Get() { return m_overlapped; }
    HANDLE Event() const { return m_overlapped->hEvent; }

    // Cancels the operation if it is still running and waits for it to end, so that the record
    // is no longer in use. The bytes it moved before it ended. An operation that a driver
    // neither finishes nor cancels (a device that has gone, under Wine) is given up: its record
    // and event are left to it, so that the wait here stays bounded.
    DWORD Finish(HANDLE port) {
        DWORD count = 0;
        if (!HasOverlappedIoCompleted(m_overlapped)) {
            CancelIoEx(port, m_overlapped);
            if (WaitForSingleObject(m_overlapped->hEvent, kCancelWaitMs) != WAIT_OBJECT_0 &&
                !HasOverlappedIoCompleted(m_overlapped)) {
                m_overlapped = nullptr;  // deliberately not freed: the driver may still write it
                return 0;
            }
        }
        GetOverlappedResult(port, m_overlapped, &count, TRUE);
        return count;
    }

  private:
    OVERLAPPED* m_overlapped;
};

// The driver's counts; false when it cannot give them (the device has gone).
bool ReadStatus(HANDLE port, COMSTAT& status) {
    DWORD flags = 0;
    status = COMSTAT{};
    return ClearCommError(port, &flags, &status) != 0;
}

// How often a port that cannot be watched is looked at.
constexpr DWORD kPollIntervalMs = 5;

SerialWaitResult PollForData(HANDLE port, const CWakeEvent& wake) {
    for (;;) {
        if (wake.Wait(static_cast<int>(kPollIntervalMs))) {
            return SerialWaitResult::kWoken;
        }
        COMSTAT status{};
        if (!ReadStatus(port, status)) {
            return SerialWaitResult::kHangUp;
        }
        if (status.cbInQue != 0) {
            return SerialWaitResult::kDataReady;
        }
    }
}

COMSTAT PortStatus(HANDLE port, DWORD* errors = nullptr) {
    COMSTAT status{};
    DWORD flags = 0;
    if (!ClearCommError(port, &flags, &status)) {
        status = COMSTAT{};
    }
    if (errors != nullptr) {
        *errors = flags;
    }
    return status;
}

}  // namespace

std::string SerialDevicePath(const std::string& portName) {
    const int number = ComNumberOf(portName);
    if (number < 0) {
        return portName;
    }
    // The device namespace name works for every port number, also from 10 up, where the short
    // name would not.
    return "\\\\.\\COM" + std::to_string(number);
}

CSerialPort::~CSerialPort() {
    Close();
}

uint32_t CSerialPort::Open(const std::string& devicePath) {
    Close();
    if (devicePath.empty()) {
        return SerialErrorOf(SystemErrorFromCode(ERROR_FILE_NOT_FOUND));
    }
    // Share mode 0: nobody else may open the port while we hold it.
    const HANDLE port = CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return LastPortError();
    }
    // Something that is no serial port (a file, a folder, a pipe) has no line settings.
    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(port, &line)) {
        const DWORD error = GetLastError();
        CloseHandle(port);
        return PortError(
            SystemErrorFromCode(error != ERROR_SUCCESS ? error : ERROR_INVALID_HANDLE));
    }
    SetCommMask(port, EV_RXCHAR);
    SetupComm(port, kQueueSize, kQueueSize);
    // Reads return at once with what the driver holds; the write limit is set with the speed.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    SetCommTimeouts(port, &timeouts);
    m_hPort = reinterpret_cast<intptr_t>(port);
    return 0;
}

void CSerialPort::Close() {
    if (m_hPort < 0) {
        return;
    }
    const HANDLE port = Native(m_hPort);
    // An empty event mask ends a WaitCommEvent in progress. What is still on its way out stays
    // queued: whether to drop it is the caller's choice (Purge), as after a completed drain it
    // must not be.
    SetCommMask(port, 0);
    CloseHandle(port);
    m_hPort = -1;
}

uint32_t CSerialPort::Configure(const SerialLineSettings& settings) {
    if (m_hPort < 0) {
        return SerialErrorOf(SystemErrorFromCode(ERROR_INVALID_HANDLE));
    }
    if (!IsAcceptedFraming(settings)) {
        return SerialErrorOf(SystemErrorFromCode(ERROR_INVALID_PARAMETER));
    }
    const HANDLE port = Native(m_hPort);
    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(port, &line)) {
        return LastPortError();
    }
    // A speed of 0 (an empty baud field) keeps the speed the port has.
    if (settings.baudRate != 0) {
        line.BaudRate = settings.baudRate;
    }
    line.ByteSize = settings.dataBits;
    line.Parity = settings.parity;
    line.StopBits = settings.stopBits;
    // No XON/XOFF flow control in either direction; every other field stays as the driver has it
    // (hardware flow control included).
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.XonChar = 17;
    line.XoffChar = 19;
    line.XonLim = 100;
    line.XoffLim = 100;
    if (!SetCommState(port, &line)) {
        return LastPortError();
    }
    // The write limit grows with the string: 19200 / baud milliseconds per byte, nothing fixed.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutMultiplier = settings.baudRate == 0 ? 0 : 19200 / settings.baudRate;
    SetCommTimeouts(port, &timeouts);
    return 0;
}

void CSerialPort::Purge() {
    if (m_hPort >= 0) {
        PurgeComm(Native(m_hPort), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    }
}

size_t CSerialPort::InputCount() const {
    return m_hPort < 0 ? 0 : PortStatus(Native(m_hPort)).cbInQue;
}

size_t CSerialPort::OutputCount() const {
    return m_hPort < 0 ? 0 : PortStatus(Native(m_hPort)).cbOutQue;
}

size_t CSerialPort::Read(void* buffer, size_t capacity) {
    if (m_hPort < 0 || capacity == 0) {
        return 0;
    }
    const HANDLE port = Native(m_hPort);
    // Only what the driver holds is asked for, so the read never has to wait for more (some
    // drivers leave an overlapped read pending despite the time-outs that say "return at once").
    const size_t available = PortStatus(port).cbInQue;
    if (available == 0) {
        return 0;
    }
    COperation read;
    if (!read.IsReady()) {
        return 0;
    }
    const size_t wanted = available < capacity ? available : capacity;
    DWORD count = 0;
    if (ReadFile(port, buffer, static_cast<DWORD>(wanted > MAXDWORD ? MAXDWORD : wanted), &count,
                 read.Get())) {
        return count;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        PortStatus(port);  // clears the port's error state
        return 0;
    }
    WaitForSingleObject(read.Event(), kReadWaitMs);
    return read.Finish(port);
}

size_t CSerialPort::Write(const void* data, size_t length, uint32_t timeoutMs,
                          const CWakeEvent& cancel) {
    if (m_hPort < 0 || cancel.IsSet()) {
        return 0;
    }
    const HANDLE port = Native(m_hPort);
    COperation write;
    if (!write.IsReady()) {
        return 0;
    }
    const DWORD wanted = length > MAXDWORD ? MAXDWORD : static_cast<DWORD>(length);
    DWORD count = 0;
    if (WriteFile(port, data, wanted, &count, write.Get())) {
        return count;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        PortStatus(port);
        return 0;
    }
    // The driver ends the write at its own time limit; the wait here ends it too when the
    // channel closes, and at the same limit when a driver does not keep it.
    const HANDLE handles[2] = {write.Event(), reinterpret_cast<HANDLE>(cancel.NativeHandle())};
    const DWORD waitCount = cancel.IsCreated() ? 2 : 1;
    const DWORD wait = timeoutMs == 0 ? INFINITE : timeoutMs;
    WaitForMultipleObjects(waitCount, handles, FALSE, wait);
    const DWORD written = write.Finish(port);
    if (written < wanted) {
        PortStatus(port);
    }
    return written;
}

SerialWaitResult CSerialPort::WaitForData(const CWakeEvent& wake) const {
    if (m_hPort < 0) {
        return SerialWaitResult::kHangUp;
    }
    const HANDLE port = Native(m_hPort);
    if (wake.IsSet()) {
        return SerialWaitResult::kWoken;
    }
    // The event reports characters that arrive from now on: what is already there is seen first.
    COMSTAT status{};
    if (!ReadStatus(port, status)) {
        return SerialWaitResult::kHangUp;  // the device has gone (a USB adapter pulled out)
    }
    if (status.cbInQue != 0) {
        return SerialWaitResult::kDataReady;
    }
    COperation watch;
    if (!watch.IsReady()) {
        return SerialWaitResult::kHangUp;
    }
    DWORD events = 0;
    if (!WaitCommEvent(port, &events, watch.Get())) {
        if (GetLastError() != ERROR_IO_PENDING) {
            return SerialWaitResult::kHangUp;
        }
        // A character that came between the look above and the start of the watch raises no
        // event: look once more now that the watch is in place.
        if (ReadStatus(port, status) && status.cbInQue != 0) {
            watch.Finish(port);
            return SerialWaitResult::kDataReady;
        }
        const HANDLE handles[2] = {watch.Event(), reinterpret_cast<HANDLE>(wake.NativeHandle())};
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
            watch.Finish(port);
            return SerialWaitResult::kWoken;
        }
        DWORD ignored = 0;
        if (!GetOverlappedResult(port, watch.Get(), &ignored, FALSE)) {
            watch.Finish(port);
            if (!ReadStatus(port, status)) {
                return SerialWaitResult::kHangUp;
            }
            // The driver ended the watch at once with no event and the port still there (Wine
            // does so): look at the port at short intervals instead.
            return PollForData(port, wake);
        }
    }
    if ((events & EV_RXCHAR) != 0 || (ReadStatus(port, status) && status.cbInQue != 0)) {
        return SerialWaitResult::kDataReady;
    }
    // An empty event word: the mask was changed (the port is being closed).
    return SerialWaitResult::kWoken;
}

#pragma once
// One serial port opened exclusively: open, line settings, purge, non-blocking reads, writes
// with a time-out, and a wait for received data that a wake-up event can end at once.
// Open, Configure and Close belong to the owning thread. While the port is open, Purge,
// InputCount, OutputCount, Read, Write and WaitForData may run on another thread at the same time;
// the owner closes the port only after that thread has stopped using it. Failures are reported as
// the program's error codes (see below); nothing throws.
#include <cstddef>
#include <cstdint>
#include <string>

class CWakeEvent;

// Error codes of serial operations: the program's own, numbered as the Windows serial driver
// numbers the same failures, so that a code reads the same on both systems. They are derived from
// the system's error value (SerialErrorOf in SystemError.h).
// The device does not exist.
inline constexpr uint32_t kSerialErrorFileNotFound = 2;
// The port is held by another program (or another channel of this one), and only then.
inline constexpr uint32_t kSerialErrorAccessDenied = 5;
// The port refuses the line settings (data bits, parity, stop bits or baud rate).
inline constexpr uint32_t kSerialErrorInvalidParameter = 87;
// Any other failure of the system is this bit plus the system's own error number. Windows leaves
// the bit to applications (none of its own codes has it), so a system number can never be taken
// for one of the codes above: an I/O error of a pulled USB adapter (5 on Linux) is 0x20000005,
// not the 5 of a port held by another program.
inline constexpr uint32_t kSerialErrorSystem = 0x20000000;

// Line settings as the option record stores them.
struct SerialLineSettings {
    uint32_t baudRate = 9600;  // 0: keep the speed the line has
    uint8_t dataBits = 8;      // 5 to 8
    uint8_t parity = 0;        // 0 NONE, 1 ODD, 2 EVEN, 3 MARK, 4 SPACE
    uint8_t stopBits = 0;  // 0 one, 1 one and a half (5 data bits only), 2 two (6 to 8 data bits)
};

// What ended a wait for received data.
enum class SerialWaitResult {
    kDataReady,  // bytes are waiting to be read
    kWoken,      // the wake-up event was set
    kHangUp,     // the device went away or reports an error; waiting again returns at once
};

class CSerialPort {
  public:
    CSerialPort() = default;
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens the device for reading and writing, exclusively. Returns 0, kSerialErrorAccessDenied
    // when someone else holds it, kSerialErrorFileNotFound when there is no such device, or
    // another code.
    uint32_t Open(const std::string& devicePath);
    bool IsOpen() const { return m_hPort >= 0; }
    // Releases the port; a closed port stays closed.
    void Close();

    // Puts the line into raw mode (bytes pass unchanged both ways, no echo, no software flow
    // control, XON 17, XOFF 19, reads return at once) with the given speed and framing.
    // Hardware flow control stays as the driver has it. Returns 0 or the code of the refusal.
    uint32_t Configure(const SerialLineSettings& settings);

    // Discards whatever the driver holds in both directions.
    void Purge();

    // Bytes the driver holds that a read would return now.
    size_t InputCount() const;
    // Bytes written to the driver that have not left the port yet.
    size_t OutputCount() const;
    // Reads up to `capacity` bytes without waiting. Returns the count; 0 when nothing is there
    // or the read failed.
    size_t Read(void* buffer, size_t capacity);
    // Writes `length` bytes, waiting for room as needed until `timeoutMs` milliseconds have
    // passed (0: no time limit) or `cancel` is set. Returns the count written.
    size_t Write(const void* data, size_t length, uint32_t timeoutMs, const CWakeEvent& cancel);
    // Waits without time limit until data can be read, `wake` is set, or the device hangs up.
    SerialWaitResult WaitForData(const CWakeEvent& wake) const;

  private:
    intptr_t m_hPort = -1;
};

// The device that stands for a Windows serial port name. "COM5" and "\\.\COM15" (any case)
// name ports 5 and 15. On Windows that is the device "\\.\COMn" itself. On Linux it is the entry
// ports/COMn in the program's settings folder when it exists (normally a link to the real
// device), else the n-th serial line of the system (port 1 is the first); port 0 has no device of
// its own there and gives an empty path. Any other name is taken as the path of the device itself.
std::string SerialDevicePath(const std::string& portName);

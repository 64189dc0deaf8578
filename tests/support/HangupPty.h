#pragma once
// A serial line whose far end a test can take away while the program holds its own end open: the
// program then sees what it sees when a USB serial adapter is pulled out (a hang-up; reads and
// writes fail). On Linux a pseudo-terminal whose master is closed; under Wine a socat-joined pair
// (see PtyPair) whose socat is ended. Linked as a COM port like PtyPair. Test use only, one thread.
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

class HangupPty {
  public:
    HangupPty();
    ~HangupPty();
    HangupPty(const HangupPty&) = delete;
    HangupPty& operator=(const HangupPty&) = delete;

    bool IsOpen() const;

    // Makes "COMn" open the program's end of this line.
    void LinkAsComPort(int n) const;
    // Writes all of `bytes` into the far end (they arrive at whoever reads the program's end).
    void Write(std::string_view bytes) const;
    // Reads from the far end until `count` bytes have come or `timeout` has passed.
    std::string Read(std::size_t count, std::chrono::milliseconds timeout) const;
    // Takes the far end away: the device is gone.
    void Hangup();
    // Holds the slave open from here on, as a program that had the adapter open when it was
    // pulled does, and returns a path through which any process of this user opens that same
    // device again (/proc/PID/fd/N). After Hangup() the device lingers: opening it fails with EIO.
    // Linux only: the Windows fixture has no such path.
    std::string HoldSlaveOpen();

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

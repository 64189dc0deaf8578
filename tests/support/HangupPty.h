#pragma once
// A pseudo-terminal whose far end (the master) a test can close while the program holds the
// slave open: the program then sees what it sees when a USB serial adapter is pulled out (a
// hang-up; reads and writes fail). Linked as a COM port like PtyPair. Test use only, one thread.
#include <chrono>
#include <string>
#include <string_view>

class HangupPty {
  public:
    HangupPty();
    ~HangupPty();
    HangupPty(const HangupPty&) = delete;
    HangupPty& operator=(const HangupPty&) = delete;

    bool IsOpen() const { return m_master >= 0; }
    const std::string& SlavePath() const { return m_slavePath; }

    // Makes ProgramSettingsFolder()/ports/COMn a link to the slave.
    void LinkAsComPort(int n) const;
    // Writes all of `bytes` into the master (they arrive at whoever reads the slave).
    void Write(std::string_view bytes) const;
    // Reads from the master until `count` bytes have come or `timeout` has passed.
    std::string Read(std::size_t count, std::chrono::milliseconds timeout) const;
    // Closes the master: the device is gone.
    void Hangup();
    // Holds the slave open from here on, as a program that had the adapter open when it was
    // pulled does, and returns a path through which any process of this user opens that same
    // device again (/proc/PID/fd/N). After Hangup() the device lingers: opening it fails with EIO.
    std::string HoldSlaveOpen();

  private:
    int m_master = -1;
    int m_heldSlave = -1;
    std::string m_slavePath;
};

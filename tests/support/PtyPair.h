#pragma once
// A real pseudo-terminal pair standing in for a serial line: the program opens the slave side
// (through a ports/COMn link in the settings folder), the test plays the far end on the master.
// Both descriptors are closed when the pair is destroyed. Test use only, one thread at a time.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool IsOpen() const { return m_master >= 0 && m_slave >= 0; }
    const std::string& SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }
    int SlaveFd() const { return m_slave; }

    // Makes ProgramSettingsFolder()/ports/COMn a link to the slave, so "COMn" opens this line.
    void LinkAsComPort(int n) const;

    // Writes all of `bytes` into the master: they arrive at whoever reads the slave.
    void WriteToMaster(std::string_view bytes) const;
    // Reads from the master until `count` bytes have come or `timeout` has passed.
    std::string ReadFromMaster(size_t count,
                               std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Reads from the master until nothing more has come for `quiet`.
    std::string DrainMaster(std::chrono::milliseconds quiet) const;

    // The line settings of the slave as the driver holds them.
    struct LineState {
        uint32_t outputSpeed = 0;
        uint32_t inputSpeed = 0;
        bool speedByNumber = false;  // given as a number (not one of the driver's constants)
        int dataBits = 0;
        bool parityEnabled = false;
        bool parityOdd = false;
        bool parityStick = false;  // mark or space: the parity bit is fixed
        bool longStop = false;     // 2 stop bits, or 1.5 with 5 data bits
        bool receiverOn = false;
        bool ignoresModemLines = false;
        bool hardwareFlowControl = false;
        bool softwareFlowOut = false;
        bool softwareFlowIn = false;
        bool canonical = false;
        bool echo = false;
        bool signals = false;
        bool outputProcessing = false;
        bool crToNl = false;
        unsigned char startChar = 0;
        unsigned char stopChar = 0;
        unsigned char minChars = 0;
        unsigned char readTime = 0;
    };
    LineState ReadLineState() const;
    // Sets hardware flow control on the line (to see whether a channel leaves it alone).
    void SetHardwareFlowControl(bool on) const;

  private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

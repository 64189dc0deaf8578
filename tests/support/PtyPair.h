#pragma once
// A real serial line for tests, with both ends in the test's hands: the program opens one end
// (through a COMn name), the test plays the device at the far end. On Linux it is a
// pseudo-terminal pair: the program's end is the slave, linked as ports/COMn in the settings
// folder, the far end is the master. Under Wine it is a pair of pseudo-terminals joined by socat
// and linked into the prefix's dosdevices: the program's end is a COM port, and the test reaches
// the far end through another COM port, with the Win32 serial functions. Everything is released
// when the pair is destroyed. Test use only, one thread at a time.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool IsOpen() const;
    // The program's end as a device path: /dev/pts/N, or \\.\COMk under Wine.
    const std::string& SlavePath() const;

    // Makes "COMn" open the program's end of this line.
    void LinkAsComPort(int n) const;

    // Writes all of `bytes` into the far end: they arrive at whoever reads the program's end.
    void WriteToMaster(std::string_view bytes) const;
    // Reads from the far end until `count` bytes have come or `timeout` has passed.
    std::string ReadFromMaster(size_t count,
                               std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Reads from the far end until nothing more has come for `quiet`.
    std::string DrainMaster(std::chrono::milliseconds quiet) const;
    // Waits until the far end has something to read (without reading it).
    bool WaitForMasterData(std::chrono::milliseconds timeout) const;

    // The line settings of the program's end as the driver holds them. Linux shows the terminal
    // modes; Windows shows the DCB, which has no terminal modes, and under Wine a
    // pseudo-terminal forgets the parity it was given (GetCommState then reports none).
    struct LineState {
        bool terminalModesVisible = false;  // the fields marked (t) can be read
        bool paritySenseVisible = false;    // parityOdd and parityStick can be read
        uint32_t outputSpeed = 0;
        uint32_t inputSpeed = 0;
        bool speedByNumber = false;  // (t) given as a number (not one of the driver's constants)
        int dataBits = 0;
        bool parityEnabled = false;
        bool parityOdd = false;
        bool parityStick = false;        // mark or space: the parity bit is fixed
        bool longStop = false;           // 2 stop bits, or 1.5 with 5 data bits
        bool receiverOn = false;         // (t)
        bool ignoresModemLines = false;  // (t)
        bool hardwareFlowControl = false;
        bool softwareFlowOut = false;
        bool softwareFlowIn = false;
        bool canonical = false;         // (t)
        bool echo = false;              // (t)
        bool signals = false;           // (t)
        bool outputProcessing = false;  // (t)
        bool crToNl = false;            // (t)
        unsigned char startChar = 0;
        unsigned char stopChar = 0;
        unsigned char minChars = 0;  // (t)
        unsigned char readTime = 0;  // (t)
    };
    LineState ReadLineState() const;
    // Whether the line can hold the speed `rate` at all, asked of the line itself: a terminal
    // under Wine takes only the speeds that Linux has a constant for (14400 becomes 38400).
    bool CarriesSpeed(uint32_t rate) const;
    // Whether the line takes the framing (data bits, parity code, stop-bit code) again and again:
    // a terminal under Wine refuses a second setting of a framing it could not keep (7 data
    // bits, parity).
    bool CarriesFraming(int dataBits, int parity, int stopBits) const;
    // Sets hardware flow control on the line (to see whether a channel leaves it alone).
    void SetHardwareFlowControl(bool on) const;

    // Whether a port that one opener holds is refused to every other opener here. Linux: yes
    // (the advisory lock and the terminal's exclusive flag). Windows: yes (share mode 0); under
    // Wine: no, Wine lets a second open of a COM port succeed.
    static bool OpensAreExclusive();
    // Makes "COMn" name a device that is not there (a link that leads nowhere on Linux, no port
    // of that name under Wine), whatever the machine has.
    static void MakeComPortAbsent(int n);
    // The same for every port from `nFirst` to `nLast`, in one step.
    static void MakeComPortsAbsent(int nFirst, int nLast);
    // Holds the program's end as another program would; false where that cannot be shown.
    bool HoldAsAnotherProgram();
    void ReleaseHold();

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

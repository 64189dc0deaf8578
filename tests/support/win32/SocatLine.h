#pragma once
// A serial line under Wine: a pseudo-terminal made by socat (a Linux process) and linked into the
// prefix as a COM port, the program's end; socat joins its other side to a loopback TCP
// connection that the test holds, the far end. The program opens its end by a COM name; the test
// reads and writes the far end through the connection. Ending socat takes the terminal away (a
// pulled-out adapter). The line keeps an open of the program's end itself for as long as it
// lives: a pseudo-terminal whose last opener closes it reports a hang-up to socat, which would
// then end. Test use only, one thread.
#include <windows.h>
#include <winsock2.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

class CSocatLine {
  public:
    // Throws std::runtime_error when not under Wine or when socat does not come up.
    CSocatLine();
    ~CSocatLine();
    CSocatLine(const CSocatLine&) = delete;
    CSocatLine& operator=(const CSocatLine&) = delete;

    // "\\.\COMk": the program's end, and the line's own open of it (for its settings).
    const std::string& ProgramEnd() const { return m_programEnd; }
    HANDLE ProgramEndHandle() const { return m_hProgramEnd; }

    // Makes COMn another name of the program's end.
    void LinkAs(int n);
    // Removes the prefix's entry COMn, so that no such port exists.
    static void RemoveComPort(int n) { RemoveComPorts(n, n); }
    // The same for COMn of every n from `nFirst` to `nLast`, with one shell.
    static void RemoveComPorts(int nFirst, int nLast);

    void Write(std::string_view bytes) const;
    std::string Read(std::size_t count, std::chrono::milliseconds timeout) const;
    std::string Drain(std::chrono::milliseconds quiet) const;
    bool WaitForData(std::chrono::milliseconds timeout) const;

    // Ends socat: the terminal goes away.
    void End();

  private:
    int m_programNumber = 0;
    std::string m_programEnd;
    std::string m_pidFile;  // Linux path
    SOCKET m_farEnd = INVALID_SOCKET;
    HANDLE m_hProgramEnd = INVALID_HANDLE_VALUE;
    bool m_bRunning = false;
    std::vector<int> m_links;
};

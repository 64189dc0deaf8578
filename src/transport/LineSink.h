#pragma once
// A transport that a front end sets up for a run instead of the interface of the options: the run
// hands it every line and it passes the line on to whatever devices it serves (see
// CSocketServer: the devices connected to a listening socket).
// A line goes out as one piece or, when it is too long to be held at once, as several in order.
// Threads: the run's thread calls IsReady, WaitUntilReady, SendPiece and EndRun; any thread may
// call Interrupt while the run lasts. Failures are results: a line no device took, a wait that
// ended without a device.
#include <cstddef>
#include <stop_token>

class CLineSink {
  public:
    virtual ~CLineSink() = default;

    // Before each line, without waiting: takes in what changed (devices that came or went) and
    // says whether a device can take a line now.
    virtual bool IsReady() = 0;
    // Waits until a device can take a line; false when `stop` ended the wait first.
    virtual bool WaitUntilReady(std::stop_token stop) = 0;
    // Sends the next piece of the current line, `bLastPiece` on its last (a whole line is one
    // piece with `bLastPiece`). True while at least one device has taken every piece of the line
    // so far: on its last piece, when at least one device took the line whole. After a false
    // the run sends nothing more of that line.
    virtual bool SendPiece(const char* pData, std::size_t nLength, bool bLastPiece) = 0;
    // Cuts a send in progress short (the run is being stopped); the line is then lost.
    virtual void Interrupt() = 0;
    // The run has ended: closes what the run opened (the devices' connections).
    virtual void EndRun() = 0;
};

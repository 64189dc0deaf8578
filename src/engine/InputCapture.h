#pragma once
// Capture: records the bytes arriving on an RS-232 port into a new file in the capture folder,
// named after the local time at which the run began, unchanged and in order, until it is told to
// stop. The run's thread is ThreadWriteDataToFile; options are read once, when the run starts.
//
// Threads: Start, WaitUntilEnded and the destructor are called by the owner (the window's
// thread); RequestStop and IsRunning by any thread. The host is called on the capture thread
// only, and never after the CInputCapture is destroyed.
//
// Failures: Start returns 0 when nothing was started (a run still capturing, no thread). A run
// that fails (-1 the capture file cannot be created, -2 the port cannot be opened, a write that
// fails) traces the cause, calls OnCaptureFailed and ends; only the serial channel's own box is
// shown to the user.
#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>

#include "engine/RunSequence.h"
#include "options/OptionRecord.h"

class CCaptureHost;

// Creates every missing folder of `path`, from the top down, the last one included ("/"
// separates the levels; a leading "/" is skipped). False when the last creation it attempted
// failed (true when nothing was missing). Any thread.
bool CreateFolder(const std::string& path);

class CInputCapture {
  public:
    explicit CInputCapture(CCaptureHost& host);
    ~CInputCapture();
    CInputCapture(const CInputCapture&) = delete;
    CInputCapture& operator=(const CInputCapture&) = delete;

    // Starts a capture run with `options` (port, line settings, capture folder) and returns its
    // id (1, 2, ...); 0 when a run is still capturing and was not asked to stop, or when no thread
    // could be created. A run still ending after a stop is waited for on the new run's thread, so
    // it never misses its stop and its file is complete before the next run begins.
    std::uint64_t Start(const OptionRecord& options);

    // Asks the current run to stop and returns at once; what has been taken from the port so far
    // is in the file when the run has ended.
    void RequestStop();

    // Waits at most `timeout` for every run to end; true when none is left.
    bool WaitUntilEnded(std::chrono::milliseconds timeout);
    bool IsRunning() const;
    std::uint64_t CurrentRunId() const;

  private:
    void ThreadWriteDataToFile(std::uint64_t runId, const OptionRecord& options,
                               std::stop_token stop);

    CCaptureHost& m_host;
    CRunSequence m_runs;  // last member: destroyed (stopped and joined) first
};

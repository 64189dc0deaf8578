#pragma once
// What a front end gives the capture engine: the message sink for the boxes the user must see
// (a port that cannot be opened) and the notices of a run.
// Threads: every call is made on the capture thread. ShowMessage may block until the box is
// dismissed; the other calls must return promptly and must not wait for the thread that owns the
// CInputCapture. No call reports failure.
#include <cstdint>
#include <string>

#include "transport/MessageSink.h"

class CCaptureHost : public CMessageSink {
  public:
    // Run `runId` could not go on (no capture file, no port, a failed write): put the input
    // buttons back to idle, as pressing "Input Stop" does. The run then closes what it opened and
    // ends on its own.
    virtual void OnCaptureFailed(std::uint64_t runId) = 0;

    // The capture file of the run has been created at `path` (before the port is opened).
    virtual void OnCaptureFileOpened(const std::string& path) { (void)path; }

    // The port of run `runId` is open: from now on every byte that arrives reaches the file.
    virtual void OnCaptureRunning(std::uint64_t runId) { (void)runId; }

    // Run `runId` is over: its file is closed and complete on disk, its port closed. The last
    // call of the run.
    virtual void OnCaptureEnded(std::uint64_t runId) { (void)runId; }
};

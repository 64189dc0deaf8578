#pragma once
// What a front end (the window, the command line, a test) gives the playback engine: the live
// options, the places where the run's progress becomes visible, and the notice that a run has
// ended. The messages the user must see (a serial port that cannot be opened) come through the
// CMessageSink base.
// Threads: every call is made on the playback thread. ShowMessage may block until the user has
// dismissed the box; every other call must return promptly and must not wait for the thread that
// owns the COutputPlayback (post the work to it instead). No call reports failure.
#include <cstdint>

#include "options/OptionRecord.h"
#include "transport/MessageSink.h"

class CPlaybackHost : public CMessageSink {
  public:
    // A fresh whole copy of the live option record. Read at the start of the run (port name)
    // and once at the start of every line, so a saved dialog change applies from the next line.
    virtual OptionRecord CurrentOptions() = 0;

    // The run has opened its file and is about to play the first line: scroll the data list to
    // its top and set the bar to 0.
    virtual void ShowRunStart() = 0;

    // Line `index` of the current pass is being sent: select item `index`, unselect the one
    // selected before, keep it in view (PageTopForLine) and set the bar to `percent` (0 to 100).
    // A window may coalesce these (only the latest one matters).
    virtual void ShowCurrentLine(int index, int percent) = 0;

    // The file ended with looping on and the run starts again at its first line: unselect
    // `lastIndex` (the last line played) and set the bar to 0. Not called after a pass that
    // played no line at all.
    virtual void ShowRewind(int lastIndex) { (void)lastIndex; }

    // Line `index` has been handed on: `delivered` is true when the transport took all of its
    // bytes (the TCP connection or the UDP socket sent them, the serial channel queued them on an
    // open port) and false when the line was lost (no connection, a failed send, no port, no
    // interface). The window shows nothing of it; the command line counts it.
    virtual void OnLineSent(int index, bool delivered) {
        (void)index;
        (void)delivered;
    }

    // Run `runId` is over, whatever ended it: the file and the transports are closed. This is the
    // last call of the run; nothing of the run touches the host afterwards. A late notice of an
    // earlier run carries that run's id, so a window compares it with the run it started last.
    virtual void OnRunEnded(std::uint64_t runId) = 0;
};

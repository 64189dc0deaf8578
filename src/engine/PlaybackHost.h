#pragma once
// What a front end (the window, the command line, a test) gives the playback engine: the live
// options, the places where the run's progress becomes visible, and the notice that a run has
// ended. The messages the user must see (a serial port that cannot be opened) come through the
// CMessageSink base.
// Threads: every call is made on the playback thread. ShowMessage may block until the user has
// dismissed the box; every other call must return promptly and must not wait for the thread that
// owns the COutputPlayback (post the work to it instead). No call reports failure.
//
// With no delay between lines a run sends far more lines than anyone can watch, and a host call
// per line would cost more than the send itself; the run then coalesces what it tells the host
// (LineNoticeInterval). With a delay every line is told.
#include <chrono>
#include <cstdint>
#include <string>

#include "options/OptionRecord.h"
#include "platform/Trace.h"
#include "transport/MessageSink.h"

class CPlaybackHost : public CMessageSink {
  public:
    // A fresh whole copy of the live option record. Read at the start of the run (port name)
    // and whenever OptionsChangeCount has moved, so a saved dialog change applies from the next
    // line.
    virtual OptionRecord CurrentOptions() = 0;

    // A number that changes whenever the record CurrentOptions returns may have changed. Asked at
    // the start of every line, so it must be cheap (no lock, no copy); the run copies the record
    // only when the number differs from the one it saw with its last copy.
    virtual std::uint64_t OptionsChangeCount() = 0;

    // With a delay of 0 the run calls ShowCurrentLine and OnLinesSent at most once per this
    // interval (for the line being sent at that moment), and in any case for the latest line
    // before it rewinds, waits for its transport or ends, so the last line and the totals are
    // always told. 0: every line. Asked once, when the run starts.
    virtual std::chrono::milliseconds LineNoticeInterval() { return std::chrono::milliseconds(0); }

    // The run has opened its file and is about to play the first line: scroll the data list to
    // its top and set the bar to 0.
    virtual void ShowRunStart() = 0;

    // Line `index` of the current pass is being sent: select item `index`, unselect the one
    // selected before, keep it in view (PageTopForLine) and set the bar to `percent` (0 to 100).
    // Only the latest call matters: with no delay, lines between two calls are not told.
    virtual void ShowCurrentLine(int index, int percent) = 0;

    // At the recorded pace of a stamped hex log: the record about to be sent bears `stamp` (the
    // 19 characters between its brackets). Told just before the ShowCurrentLine of that record.
    virtual void ShowRecordStamp(const std::string& stamp) { (void)stamp; }

    // The file ended with looping on and the run starts again at its first line: unselect
    // `lastIndex` (the last line played) and set the bar to 0. Not called after a pass that
    // played no line at all.
    virtual void ShowRewind(int lastIndex) { (void)lastIndex; }

    // A payload line of a converted data file carries more bytes than a line may (512), so only
    // the first 512 of them are sent: `text` says which line and how many it carries ("line 7:
    // 600 bytes, only the first 512 are sent"). Told once per run, for the first such line. By
    // default it is only traced.
    virtual void ShowPayloadCut(const std::string& text) {
        Trace("[CTillstreamDlg::ThreadReadDataFromFile] %s", text.c_str());
    }

    // The run's totals so far, after the send of the line last shown: `nLines` lines handed on
    // (every pass counted), `nLost` of them lost (no connection, a failed send, no port, no
    // interface) rather than taken whole by the transport (sent by the TCP connection or the UDP
    // socket, queued by the serial channel on an open port). The window shows nothing of it; the
    // command line counts with it. The last call before OnRunEnded holds the run's final totals.
    virtual void OnLinesSent(std::uint64_t nLines, std::uint64_t nLost) {
        (void)nLines;
        (void)nLost;
    }

    // The line just sent went out `interval` after the line before it (each counted from the
    // moment its send returned), where the pause between them was planned to last `plannedGap`:
    // the run's cadence, for a host that measures it. Told for every line that follows a pause
    // (not for the first line of a run, nor for a line sent with no pause before it).
    virtual void OnLinePaced(std::chrono::steady_clock::duration interval,
                             std::chrono::steady_clock::duration plannedGap) {
        (void)interval;
        (void)plannedGap;
    }

    // With a wait for the device's answer: the line just sent was answered `replyTime` after it
    // went out (`bAnswered`), or not within the reply time-out (or the connection broke during
    // the wait). Told once for every line that reached the device, except one whose wait a stop
    // cut short.
    virtual void OnLineAnswered(bool bAnswered, std::chrono::steady_clock::duration replyTime) {
        (void)bAnswered;
        (void)replyTime;
    }

    // Run `runId` is over, whatever ended it: the file and the transports are closed. This is the
    // last call of the run; nothing of the run touches the host afterwards. A late notice of an
    // earlier run carries that run's id, so a window compares it with the run it started last.
    virtual void OnRunEnded(std::uint64_t runId) = 0;
};

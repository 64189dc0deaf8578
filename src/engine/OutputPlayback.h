#pragma once
// Playback: sends the loaded data file to the receiving device one line at a time, with the
// delay after every line and optionally in an endless loop, over TCP (the window's socket
// client), UDP datagrams or an RS-232 channel of the run's own, or through a transport the front
// end set up (a CLineSink). A stamped hex log may instead be played at its recorded pace. The
// run's thread is ThreadReadDataFromFile; it shows its progress and announces its end through the
// CPlaybackHost.
//
// Threads: Start, WaitUntilEnded and the destructor are called by the owner (the window's
// thread); RequestStop and IsRunning by any thread. The host is called on the playback thread
// only, and never after the COutputPlayback is destroyed (the destructor stops the run and joins
// its thread; a host that blocks in ShowMessage must release that box for the destructor to
// return).
//
// Failures: Start returns 0 when nothing was started (empty path, a run still playing, no
// thread). A run that fails (-1 empty path, -2 file cannot be opened, a read error) traces the
// cause and ends like any other run, with OnRunEnded; nothing is shown to the user.
//
// Lines of any length: a line is read from the file in pieces (kLinePiece bytes, one UDP datagram
// over UDP) and a long one goes out piece by piece, its LF after the last piece, so a run holds
// a piece in memory, never a whole line; lengths are 64-bit throughout. A record played at its
// recorded pace is held whole (decoded), and a converted file's line yields at most its first
// 512 bytes.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>

#include "engine/PlaybackRequest.h"
#include "engine/RunSequence.h"

class CPlaybackHost;
class CSocketClient;

class COutputPlayback {
  public:
    // `socketClient` belongs to the window and is reused by every run; each run closes it at
    // its end.
    COutputPlayback(CPlaybackHost& host, CSocketClient& socketClient);
    ~COutputPlayback();
    COutputPlayback(const COutputPlayback&) = delete;
    COutputPlayback& operator=(const COutputPlayback&) = delete;

    // Starts a run and returns its id (1, 2, ...); 0 when nothing was started: an empty path, a
    // run that is still playing and was not asked to stop, or a thread that cannot be created.
    // A run that has been asked to stop but is still ending is not a refusal: the new run waits
    // on its own thread until the old one has ended (Start itself returns at once), so two runs
    // never play at once and the old run's OnRunEnded, carrying the old id, comes first.
    std::uint64_t Start(const PlaybackRequest& request);

    // Asks the current run to stop and returns at once: the pause between lines ends, a TCP
    // connect or send in progress is cut short, and the run ends with its end-of-run steps.
    void RequestStop();

    // Waits at most `timeout` for every run to end; true when none is left.
    bool WaitUntilEnded(std::chrono::milliseconds timeout);
    bool IsRunning() const;
    std::uint64_t CurrentRunId() const;

  private:
    // The run's thread body: plays `request` until the end of the file (loop off), a stop or a
    // failure, then closes the file and the transports and calls OnRunEnded(runId).
    void ThreadReadDataFromFile(std::uint64_t runId, const PlaybackRequest& request,
                                std::stop_token stop);

    CPlaybackHost& m_host;
    CSocketClient& m_socketClient;
    std::atomic<CLineSink*> m_pRunSink{nullptr};  // the running run's sink, for RequestStop
    CRunSequence m_runs;  // last member: destroyed (stopped and joined) first
};

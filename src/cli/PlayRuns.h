#pragma once
// The runs of `play` and of a rig's lanes, started, stopped and waited for together: a rig's TCP
// and UDP lanes and every listening run as lanes of one event loop (CLaneRunner); a single
// play's TCP or UDP run on a run thread of its own, as the window's is, and a serial run too,
// since a port's writes wait for the port (COutputPlayback). Each run tells its own host
// (CCliPlaybackHost), which must outlive the runs.
// Threads: the command's thread adds, starts, waits and reads the results, and serves the loop
// while it waits; RequestStop may come from any thread (the Ctrl-C handler's). Failures are
// results and texts; nothing throws.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliPlaybackHost.h"
#include "cli/PlaySetup.h"
#include "lanes/LaneRunner.h"

class COutputPlayback;
class CSocketClient;

// What drives a TCP or UDP run: a lane of the event loop, or a run thread of its own. A listening
// run is always a lane, a serial run always has its thread.
enum class RunDriver { kLoop, kRunThread };

// When a run on the loop sends its first line: `after` the start, or `fraction` of its first
// pause after it (lanes spread over their first pause); neither: at once.
struct RunStart {
    std::optional<std::chrono::milliseconds> after;
    double fraction = 0;
};

class CPlayRuns {
  public:
    // `loopThreads`: the event loop's threads (0: one per processor, no more than its lanes).
    explicit CPlayRuns(std::size_t loopThreads = 0);
    ~CPlayRuns();  // stops every run and waits for it
    CPlayRuns(const CPlayRuns&) = delete;
    CPlayRuns& operator=(const CPlayRuns&) = delete;

    // Adds the run of `plan` (its listener, when it has one, is used by the run and must stay
    // alive, wherever its owner moves it); returns its index, from 0. The plan is not needed
    // afterwards. A run on a thread of its own starts at once whatever `start` says.
    std::size_t Add(const PlayPlan& plan, CCliPlaybackHost& host, RunDriver driver,
                    const RunStart& start = {});

    // Starts every run; false with `error` when one cannot start (those started are stopped).
    bool Start(std::string& error);
    // Asks every run to stop and returns at once.
    void RequestStop();
    // Serves the event loop until every run has ended, calling `tick` about every `period`.
    void Wait(const std::function<void()>& tick = {},
              std::chrono::milliseconds period = std::chrono::milliseconds(200));

    // Why run `index` could not play as asked ("" when it could, and for a run on a thread of
    // its own, whose failures its host has told).
    std::string Failure(std::size_t index) const;
    // The connections a TCP run made, or a listening run took.
    std::uint64_t Connections(std::size_t index) const;

  private:
    struct ThreadRun {
        CCliPlaybackHost* pHost = nullptr;
        PlaybackRequest request;
        std::unique_ptr<CSocketClient> socketClient;  // the engine's TCP connection
        std::unique_ptr<COutputPlayback> playback;
    };
    struct Run {
        bool bOwnThread = false;
        std::size_t nIndex = 0;  // among the loop's lanes, or among the runs with a thread
    };

    std::vector<Run> m_runs;
    std::size_t m_nLoopLanes = 0;
    CLaneRunner m_loop;
    std::vector<ThreadRun> m_threadRuns;  // destroyed (their runs joined) before the loop
};

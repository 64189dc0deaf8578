#include "cli/PlayRuns.h"

#include "engine/OutputPlayback.h"
#include "transport/SerialVocabulary.h"
#include "transport/SocketClient.h"

CPlayRuns::CPlayRuns(std::size_t loopThreads) : m_loop(loopThreads) {}

CPlayRuns::~CPlayRuns() {
    RequestStop();
    for (ThreadRun& run : m_threadRuns) {
        run.playback.reset();  // joins its run
    }
}

std::size_t CPlayRuns::Add(const PlayPlan& plan, CCliPlaybackHost& host, RunDriver driver,
                           const RunStart& start) {
    Run run;
    if (!plan.listener &&
        (driver == RunDriver::kRunThread || plan.options.outputInterface == kInterfaceRs232)) {
        run.bOwnThread = true;
        run.nIndex = m_threadRuns.size();
        ThreadRun threadRun;
        threadRun.pHost = &host;
        threadRun.request = plan.request;
        threadRun.socketClient = std::make_unique<CSocketClient>();
        threadRun.playback = std::make_unique<COutputPlayback>(host, *threadRun.socketClient);
        m_threadRuns.push_back(std::move(threadRun));
    } else {
        LanePlan lane = MakeLanePlan(plan, host);
        lane.startAfter = start.after;
        lane.startFraction = start.fraction;
        run.nIndex = m_loop.Add(lane);
        ++m_nLoopLanes;
    }
    m_runs.push_back(run);
    return m_runs.size() - 1;
}

bool CPlayRuns::Start(std::string& error) {
    if (m_nLoopLanes > 0 && !m_loop.Start(error)) {
        return false;
    }
    for (ThreadRun& run : m_threadRuns) {
        if (run.playback->Start(run.request) == 0) {
            RequestStop();
            error = "the playback thread could not be started";
            return false;
        }
    }
    return true;
}

void CPlayRuns::RequestStop() {
    m_loop.RequestStop();
    for (ThreadRun& run : m_threadRuns) {
        run.playback->RequestStop();
    }
}

void CPlayRuns::Wait(const std::function<void()>& tick, std::chrono::milliseconds period) {
    if (m_nLoopLanes > 0) {
        m_loop.Wait(tick, period);  // this thread serves the loop until its lanes have ended
    }
    for (ThreadRun& run : m_threadRuns) {
        while (!run.pHost->WaitForEnd(period)) {
            if (tick) {
                tick();
            }
        }
        run.playback->WaitUntilEnded(std::chrono::hours(1));
    }
}

std::string CPlayRuns::Failure(std::size_t index) const {
    const Run& run = m_runs.at(index);
    return run.bOwnThread ? std::string() : m_loop.Failure(run.nIndex);
}

std::uint64_t CPlayRuns::Connections(std::size_t index) const {
    const Run& run = m_runs.at(index);
    return run.bOwnThread ? 0 : m_loop.Connections(run.nIndex);
}

#include "cli/PlayRuns.h"

#include "engine/OutputPlayback.h"
#include "transport/SerialVocabulary.h"
#include "transport/SocketClient.h"

CPlayRuns::CPlayRuns(std::size_t loopThreads) : m_loop(loopThreads) {}

CPlayRuns::~CPlayRuns() {
    RequestStop();
    for (SerialRun& run : m_serialRuns) {
        run.playback.reset();  // joins its run
    }
}

std::size_t CPlayRuns::Add(const PlayPlan& plan, CCliPlaybackHost& host, const RunStart& start) {
    Run run;
    if (!plan.listener && plan.options.outputInterface == kInterfaceRs232) {
        run.bSerial = true;
        run.nIndex = m_serialRuns.size();
        SerialRun serial;
        serial.pHost = &host;
        serial.request = plan.request;
        serial.socketClient = std::make_unique<CSocketClient>();
        serial.playback = std::make_unique<COutputPlayback>(host, *serial.socketClient);
        m_serialRuns.push_back(std::move(serial));
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
    for (SerialRun& run : m_serialRuns) {
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
    for (SerialRun& run : m_serialRuns) {
        run.playback->RequestStop();
    }
}

void CPlayRuns::Wait(const std::function<void()>& tick, std::chrono::milliseconds period) {
    if (m_nLoopLanes > 0) {
        m_loop.Wait(tick, period);  // this thread serves the loop until its lanes have ended
    }
    for (SerialRun& run : m_serialRuns) {
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
    return run.bSerial ? std::string() : m_loop.Failure(run.nIndex);
}

std::uint64_t CPlayRuns::Connections(std::size_t index) const {
    const Run& run = m_runs.at(index);
    return run.bSerial ? 0 : m_loop.Connections(run.nIndex);
}

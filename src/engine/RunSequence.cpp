#include "engine/RunSequence.h"

#include <system_error>
#include <utility>

#include "platform/Trace.h"

CRunSequence::~CRunSequence() {
    RequestStop();
    std::thread hThread;
    {
        std::lock_guard lock(m_mutex);
        hThread = std::move(m_hThread);
    }
    if (hThread.joinable()) {
        hThread.join();  // the latest run joins every run before it
    }
}

std::uint64_t CRunSequence::Start(WorkerBody body) {
    std::unique_lock lock(m_mutex);
    if (m_nActive > 0 && !m_stop.stop_requested()) {
        return 0;
    }
    const std::uint64_t runId = m_nRunId + 1;
    std::stop_source stop;
    // The previous thread is handed to the new one, which joins it before its body begins. It is
    // held apart so that it can be taken back if the new thread cannot be created.
    auto previous = std::make_shared<std::thread>(std::move(m_hThread));
    try {
        m_hThread = std::thread(
            [this, previous, runId, token = stop.get_token(), body = std::move(body)]() {
                if (previous->joinable()) {
                    previous->join();
                }
                body(runId, token);
                std::lock_guard done(m_mutex);
                --m_nActive;
                m_cvEnded.notify_all();
            });
    } catch (const std::system_error& error) {
        Trace("[%s][CRunSequence::Start] ERROR - Thread Start (%d)", kProgramName,
              error.code().value());
        m_hThread = std::move(*previous);
        return 0;
    }
    m_nRunId = runId;
    m_stop = std::move(stop);
    ++m_nActive;
    return runId;
}

void CRunSequence::RequestStop() {
    std::lock_guard lock(m_mutex);
    m_stop.request_stop();
}

void CRunSequence::MarkEnding(std::uint64_t runId) {
    std::lock_guard lock(m_mutex);
    if (runId == m_nRunId) {
        m_stop.request_stop();
    }
}

bool CRunSequence::WaitUntilEnded(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    if (!m_cvEnded.wait_for(lock, timeout, [this] { return m_nActive == 0; })) {
        return false;
    }
    std::thread hThread = std::move(m_hThread);
    lock.unlock();
    if (hThread.joinable()) {
        hThread.join();  // its body has returned: only the thread's exit is left
    }
    return true;
}

bool CRunSequence::IsRunning() const {
    std::lock_guard lock(m_mutex);
    return m_nActive > 0;
}

std::uint64_t CRunSequence::CurrentRunId() const {
    std::lock_guard lock(m_mutex);
    return m_nRunId;
}

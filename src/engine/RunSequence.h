#pragma once
// Runs the worker of an engine on a thread of its own, one run after another and never two at
// once: a run started while the previous one is still ending first waits (on its own thread) for
// that one to end, so the caller never blocks and the earlier run cannot miss its stop. Each run
// has its own id (1, 2, ...) and its own stop request.
// Threads: Start, WaitUntilEnded and the destructor belong to the owner's thread; RequestStop,
// IsRunning and CurrentRunId may be called from any thread, the worker included.
// Failures: Start returns 0 when nothing was started (a run is active and not asked to stop, or
// no thread could be created); the worker's own failures are its business.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

class CRunSequence {
  public:
    using WorkerBody = std::function<void(std::uint64_t runId, std::stop_token stop)>;

    CRunSequence() = default;
    ~CRunSequence();  // asks the latest run to stop and waits for every run to end
    CRunSequence(const CRunSequence&) = delete;
    CRunSequence& operator=(const CRunSequence&) = delete;

    // Starts `body` as a new run and returns its id; 0 when a run is still active and has not
    // been asked to stop, or when the thread cannot be created. The body always runs once its
    // run has been started, even when a stop arrives before it begins (it then sees the stop).
    std::uint64_t Start(WorkerBody body);
    // Asks the latest run to stop and returns at once.
    void RequestStop();
    // Called by run `runId` itself just before it announces its end (a run that ends on its own,
    // at the end of its file): from then on it counts as asked to stop, so a Start prompted by
    // that announcement is accepted (and waits for the last moments of the run) instead of being
    // refused. Does nothing when `runId` is not the latest run.
    void MarkEnding(std::uint64_t runId);
    // Waits until every run has ended, at most `timeout`; true when none is left.
    bool WaitUntilEnded(std::chrono::milliseconds timeout);
    // True from Start until the run's body has returned.
    bool IsRunning() const;
    // The id of the latest run started (0 before the first).
    std::uint64_t CurrentRunId() const;

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cvEnded;
    std::thread m_hThread;    // the latest run; it joins the runs before it
    std::stop_source m_stop;  // of the latest run
    std::uint64_t m_nRunId = 0;
    int m_nActive = 0;  // runs started and not yet ended
};

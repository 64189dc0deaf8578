#pragma once
// Plays many lanes at once on an event loop: non-blocking sockets and a queue of timers served by
// a few threads (at most one per processor, the owner's thread among them), instead of a thread
// per lane. Each thread has a loop and a queue of timers of its own, and each lane lives on one
// of them, so that no lane's work is ever handed from one thread to another. Each lane follows
// the same rules as a run thread (CLineSource for its lines, CPaceSchedule for its pace,
// CLineNotices for its host), so a lane plays exactly what `play` would. A file played by several
// lanes is opened once and read by each at its own position. A device that stops reading costs
// only itself (see CDeviceQueue); what devices send back is read and thrown away a bounded amount
// per line.
//
// Threads: Add, Start, Wait and the destructor belong to the owner's thread, which serves the
// loop itself in Wait; RequestStop may be called from any thread (a signal's callback too). Each
// lane's host is called on a thread of the loop, one call at a time per lane.
// Failures: Start returns false with a reason when the loop cannot run at all. A lane that cannot
// play (its file cannot be read, no socket can be had) tells its host (ShowMessage) and ends;
// Failure() names the cause afterwards. Nothing throws out of here.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "lanes/LanePlan.h"

class CLaneRunner {
  public:
    // `threads`: how many threads serve the loop, the owner's included (0: one per processor);
    // never more than there are lanes.
    explicit CLaneRunner(std::size_t threads = 0);
    ~CLaneRunner();  // stops every lane and waits for the threads
    CLaneRunner(const CLaneRunner&) = delete;
    CLaneRunner& operator=(const CLaneRunner&) = delete;

    // Before Start: adds a lane; its index (0, 1, ...).
    std::size_t Add(const LanePlan& plan);
    // Opens the lanes' files and starts the loop's other threads; every lane opens as soon as its
    // thread serves it (the owner's, in Wait): a TCP lane connects. Once every lane is open (or
    // has ended) the lanes' clock starts, and each first line goes out its start offset after
    // it. False with `error` when nothing could start.
    bool Start(std::string& error);
    // Every lane stops at once: pauses, connects and sends are cut short; each ends cleanly
    // (its host's OnRunEnded).
    void RequestStop();
    // Serves the loop on the calling thread as well until every lane has ended, calling `tick`
    // every `period` meanwhile (on a thread of the loop; it must return promptly), then waits
    // for the other threads.
    void Wait(std::function<void()> tick = {},
              std::chrono::milliseconds period = std::chrono::milliseconds(200));

    // How many threads serve the loop, the owner's included (after Start).
    std::size_t Threads() const;
    // After Wait: why lane `index` did not play as asked (empty when it did), and the
    // connections it made (TCP) or took (listening).
    std::string Failure(std::size_t index) const;
    std::uint64_t Connections(std::size_t index) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

#include "lanes/LaneRunner.h"

#include <algorithm>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "datafile/PlayFile.h"
#include "lanes/ListenLane.h"
#include "lanes/LoopPriority.h"
#include "lanes/TcpLane.h"
#include "lanes/UdpLane.h"
#include "platform/Trace.h"

namespace {
using WorkGuard = asio::executor_work_guard<asio::io_context::executor_type>;
}  // namespace

// One loop (an io_context with its queue of timers) per thread, each lane on one of them: the
// threads never hand a lane's work to one another, which on a busy rig would cost more than the
// lane's own work (a wake-up of the other thread for every few lines).
struct CLaneRunner::Impl {
    explicit Impl(std::size_t threads) : wantedThreads(threads) {}

    std::size_t wantedThreads;
    std::vector<std::unique_ptr<asio::io_context>> loops;  // made by Start; [0] is the owner's
    std::vector<WorkGuard> work;
    std::vector<LanePlan> plans;
    std::vector<std::unique_ptr<CLane>> lanes;  // fixed once started
    std::vector<std::thread> threads;           // serving loops[1...]

    // Every lane pauses between its lines: the loop's threads may take a raised priority.
    bool bPacedOnly = false;

    // Serves `loop` on the calling thread until it has no more work.
    static void Serve(asio::io_context& loop) {
        for (;;) {
            try {
                loop.run();
                break;
            } catch (const std::exception& failure) {
                // A handler that throws must not take the other lanes down with it.
                Trace("[CLaneRunner] ERROR - %s", failure.what());
            }
        }
        LowerLoopThread();
    }

    // On loop `k`'s thread: the lanes' clock starts. The thread takes its raised priority only
    // now, so that while the lanes connect it shares the processors with the devices accepting
    // them (on one machine, a device held off that long refuses connects).
    void Go(std::size_t k, std::chrono::steady_clock::time_point clockStart) {
        RaiseLoopThread(bPacedOnly);
        for (std::size_t n = k; n < lanes.size(); n += loops.size()) {
            lanes[n]->Go(clockStart);
        }
    }

    // The owner's tick, on the owner's loop.
    std::optional<asio::steady_timer> tickTimer;
    std::function<void()> tick;
    std::chrono::milliseconds tickPeriod{};
    bool bTickStopped = false;  // on the owner's loop

    void ArmTick() {
        if (bTickStopped) {
            return;
        }
        tickTimer->expires_after(tickPeriod);
        tickTimer->async_wait([this](const asio::error_code& error) {
            if (error || bTickStopped) {
                return;
            }
            tick();
            ArmTick();
        });
    }

    std::mutex mutex;  // guards the members below
    std::size_t nOpened = 0;
    std::size_t nEnded = 0;
    bool bStarted = false;
    bool bStopRequested = false;
    bool bWaited = false;
};

CLaneRunner::CLaneRunner(std::size_t threads) : m(std::make_unique<Impl>(threads)) {}

CLaneRunner::~CLaneRunner() {
    RequestStop();
    Wait();
}

std::size_t CLaneRunner::Add(const LanePlan& plan) {
    m->plans.push_back(plan);
    return m->plans.size() - 1;
}

bool CLaneRunner::Start(std::string& error) {
    Impl& impl = *m;
    const std::size_t processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t wanted = std::min(impl.wantedThreads == 0 ? processors : impl.wantedThreads,
                                        std::max<std::size_t>(impl.plans.size(), 1));
    try {
        for (std::size_t n = 0; n < wanted; ++n) {
            // One thread each: the loop takes no locks it can do without.
            impl.loops.push_back(std::make_unique<asio::io_context>(1));
        }
    } catch (const std::system_error& failure) {
        impl.loops.clear();
        error = std::string("the event loop cannot be set up: ") + failure.what();
        return false;
    }
    impl.bPacedOnly = std::all_of(impl.plans.begin(), impl.plans.end(), [](const LanePlan& plan) {
        return plan.delay > std::chrono::milliseconds::zero();
    });
    impl.tickTimer.emplace(*impl.loops.front());
    for (const auto& loop : impl.loops) {
        impl.work.push_back(asio::make_work_guard(*loop));
    }
    // The owner's thread serves the first loop in Wait; the others get a thread each now. A
    // loop that gets no thread is given up before any lane is put on it.
    for (std::size_t n = 1; n < impl.loops.size(); ++n) {
        try {
            asio::io_context& loop = *impl.loops[n];
            impl.threads.emplace_back([&loop] { Impl::Serve(loop); });
        } catch (const std::system_error&) {
            Trace("[CLaneRunner] ERROR - %zu threads for the lanes' loops", n);
            while (impl.loops.size() > n) {
                impl.work.pop_back();
                impl.loops.pop_back();
            }
            break;
        }
    }

    // A file played by several lanes is opened once; one that cannot be opened leaves its lanes
    // without it, and each says so when it starts.
    std::map<std::string, std::shared_ptr<const CPlayFile>> files;
    for (const LanePlan& plan : impl.plans) {
        auto [found, bNew] = files.try_emplace(plan.request.path);
        if (bNew) {
            auto file = std::make_shared<CPlayFile>();
            if (file->Open(plan.request.path) == FileError::None) {
                found->second = std::move(file);
            }
        }
    }
    auto onOpened = [&impl] {
        std::lock_guard lock(impl.mutex);
        if (++impl.nOpened == impl.lanes.size()) {
            const auto clockStart = std::chrono::steady_clock::now();
            for (std::size_t k = 0; k < impl.loops.size(); ++k) {
                asio::post(*impl.loops[k], [&impl, k, clockStart] { impl.Go(k, clockStart); });
            }
        }
    };
    auto onEnded = [&impl] {
        std::lock_guard lock(impl.mutex);
        if (++impl.nEnded == impl.lanes.size()) {
            // Each loop ends once the handlers still queued on it (cancelled ones) have run.
            for (WorkGuard& guard : impl.work) {
                guard.reset();
            }
            asio::post(*impl.loops.front(), [&impl] {
                impl.bTickStopped = true;
                impl.tickTimer->cancel();
            });
        }
    };
    const LaneEvents events{onOpened, onEnded};
    for (std::size_t n = 0; n < impl.plans.size(); ++n) {
        const LanePlan& plan = impl.plans[n];
        asio::io_context& loop = *impl.loops[n % impl.loops.size()];
        std::shared_ptr<const CPlayFile> file = files[plan.request.path];
        switch (plan.kind) {
            case LanePlan::Kind::kTcp:
                impl.lanes.push_back(std::make_unique<CTcpLane>(loop, plan, file, events));
                break;
            case LanePlan::Kind::kUdp:
                impl.lanes.push_back(std::make_unique<CUdpLane>(loop, plan, file, events));
                break;
            case LanePlan::Kind::kListen:
                impl.lanes.push_back(std::make_unique<CListenLane>(loop, plan, file, events));
                break;
        }
    }
    files.clear();  // the lanes hold their files from now on
    if (impl.lanes.empty()) {
        for (WorkGuard& guard : impl.work) {
            guard.reset();
        }
    }
    bool bStop = false;
    {
        std::lock_guard lock(impl.mutex);
        impl.bStarted = true;
        bStop = impl.bStopRequested;
    }
    for (const auto& lane : impl.lanes) {
        lane->Start();
    }
    if (bStop) {
        RequestStop();
    }
    return true;
}

void CLaneRunner::RequestStop() {
    std::lock_guard lock(m->mutex);
    m->bStopRequested = true;
    if (!m->bStarted) {
        return;
    }
    for (const auto& lane : m->lanes) {
        lane->RequestStop();
    }
}

void CLaneRunner::Wait(std::function<void()> tick, std::chrono::milliseconds period) {
    Impl& impl = *m;
    {
        std::lock_guard lock(impl.mutex);
        if (!impl.bStarted || impl.bWaited) {
            return;
        }
        impl.bWaited = true;
        if (tick && impl.nEnded < impl.lanes.size()) {
            impl.tick = std::move(tick);
            impl.tickPeriod = period;
            asio::post(*impl.loops.front(), [&impl] { impl.ArmTick(); });
        }
    }
    // Until every lane has ended and the tick has stopped.
    Impl::Serve(*impl.loops.front());
    for (std::thread& thread : impl.threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

std::size_t CLaneRunner::Threads() const {
    return 1 + m->threads.size();
}

std::uint64_t CLaneRunner::Connections(std::size_t index) const {
    return index < m->lanes.size() ? m->lanes[index]->Connections() : 0;
}

std::string CLaneRunner::Failure(std::size_t index) const {
    return index < m->lanes.size() ? m->lanes[index]->Failure() : std::string();
}

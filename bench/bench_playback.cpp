// Playback figures: (a) throughput at delay 0 to a loopback TCP receiver, beside a minimal loop
// that sends the same lines with one send per line; (b) cadence at a 10 ms delay (over UDP, each
// line's arrival stamped by the system, so that only the sender's timing counts), on an idle
// machine and while busy threads (one per processor, at least two) keep every processor busy,
// beside a shell loop doing the same with printf and sleep; (c) how long a stop takes during a
// 60,000 ms pause.
// Usage: bench_playback [lines for (a), default 1000000] [lines for (b), default 2000]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/OutputPlayback.h"
#include "engine/PlaybackHost.h"
#include "options/SharedOptions.h"
#include "transport/SocketClient.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// A TCP listener on 127.0.0.1 that reads every connection, counts bytes and line feeds and, when
// asked, notes the arrival time of every line feed.
class Receiver {
  public:
    explicit Receiver(bool bStamp) : m_bStamp(bStamp) {
        m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listenFd, 16);
        socklen_t length = sizeof address;
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~Receiver() {
        m_bStop = true;
        m_thread.join();
        close(m_listenFd);
    }
    std::uint16_t Port() const { return m_port; }
    std::uint64_t Lines() const { return m_nLines.load(); }
    std::uint64_t Bytes() const { return m_nBytes.load(); }
    bool WaitForLines(std::uint64_t count, std::chrono::seconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (m_nLines.load() < count) {
            if (Clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(200us);
        }
        return true;
    }
    std::vector<Clock::time_point> Stamps() {
        std::lock_guard lock(m_mutex);
        return m_stamps;
    }
    void Reset() {
        std::lock_guard lock(m_mutex);
        m_stamps.clear();
        m_nLines = 0;
        m_nBytes = 0;
    }

  private:
    void Run() {
        std::vector<pollfd> fds{{m_listenFd, POLLIN, 0}};
        std::vector<char> buffer(256 * 1024);
        while (!m_bStop) {
            if (poll(fds.data(), fds.size(), 20) <= 0) {
                continue;
            }
            const auto now = Clock::now();
            if (fds[0].revents & POLLIN) {
                const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) {
                    fds.push_back({fd, POLLIN, 0});
                }
            }
            for (std::size_t n = 1; n < fds.size(); ++n) {
                if (!(fds[n].revents & (POLLIN | POLLHUP | POLLERR))) {
                    continue;
                }
                const ssize_t got = read(fds[n].fd, buffer.data(), buffer.size());
                if (got <= 0) {
                    close(fds[n].fd);
                    fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(n));
                    --n;
                    continue;
                }
                const auto lines = static_cast<std::uint64_t>(
                    std::count(buffer.data(), buffer.data() + got, '\n'));
                if (m_bStamp && lines > 0) {
                    std::lock_guard lock(m_mutex);
                    m_stamps.insert(m_stamps.end(), lines, now);
                }
                m_nBytes += static_cast<std::uint64_t>(got);
                m_nLines += lines;
            }
        }
        for (std::size_t n = 1; n < fds.size(); ++n) {
            close(fds[n].fd);
        }
    }

    bool m_bStamp;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_bStop{false};
    std::atomic<std::uint64_t> m_nLines{0};
    std::atomic<std::uint64_t> m_nBytes{0};
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_stamps;
    std::thread m_thread;
};

// A UDP socket on 127.0.0.1 that notes when each datagram arrived, as the system stamped it on
// arrival (SO_TIMESTAMPNS): on loopback that is the moment the sender's send handed it over, so
// the figure is the sender's cadence, whatever delays the thread that reads the stamps later.
class StampingUdpReceiver {
  public:
    StampingUdpReceiver() {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int size = 8 * 1024 * 1024;
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        const int on = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~StampingUdpReceiver() {
        m_bStop = true;
        m_thread.join();
        close(m_fd);
    }
    std::uint16_t Port() const { return m_port; }
    bool WaitForDatagrams(std::size_t count, std::chrono::seconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_stamps.size() >= count; });
    }
    // Arrival times, on the system clock's scale (only differences are used).
    std::vector<Clock::time_point> Stamps() {
        std::lock_guard lock(m_mutex);
        return m_stamps;
    }

  private:
    void Run() {
        char buffer[2048];
        while (!m_bStop) {
            pollfd item{m_fd, POLLIN, 0};
            if (poll(&item, 1, 20) <= 0) {
                continue;
            }
            iovec data{buffer, sizeof buffer};
            alignas(cmsghdr) char control[256];
            msghdr message{};
            message.msg_iov = &data;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            if (recvmsg(m_fd, &message, 0) < 0) {
                continue;
            }
            timespec when{};
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    std::memcpy(&when, CMSG_DATA(c), sizeof when);
                }
            }
            std::lock_guard lock(m_mutex);
            m_stamps.push_back(Clock::time_point(std::chrono::duration_cast<Clock::duration>(
                std::chrono::seconds(when.tv_sec) + std::chrono::nanoseconds(when.tv_nsec))));
            m_changed.notify_all();
        }
    }

    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Clock::time_point> m_stamps;
    std::thread m_thread;
};

// A host that costs what the window's costs the engine (the live options behind a lock, the
// latest line kept under a lock, the window's notice interval) but paints nothing: painting
// happens on the window's own thread and is not the engine's figure.
class QuietHost : public CPlaybackHost {
  public:
    explicit QuietHost(const OptionRecord& options) : m_options(options) {}
    CSharedOptions& Options() { return m_options; }
    OptionRecord CurrentOptions() override { return m_options.Get(); }
    std::uint64_t OptionsChangeCount() override { return m_options.ChangeCount(); }
    std::chrono::milliseconds LineNoticeInterval() override { return 15ms; }
    void ShowRunStart() override {}
    void ShowCurrentLine(int index, int percent) override {
        std::lock_guard lock(m_lineMutex);
        m_nLastIndex.store(index, std::memory_order_relaxed);
        m_nLastPercent = percent;
    }
    void OnRunEnded(std::uint64_t) override {
        std::lock_guard lock(m_mutex);
        m_endedAt = Clock::now();
        ++m_nEnded;
        m_changed.notify_all();
    }
    void ShowMessage(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    Clock::time_point WaitForEnded(int count) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_nEnded >= count; });
        return m_endedAt;
    }
    int LastIndex() const { return m_nLastIndex.load(); }

  private:
    CSharedOptions m_options;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Clock::time_point m_endedAt{};
    int m_nEnded = 0;
    std::mutex m_lineMutex;
    std::atomic<int> m_nLastIndex{-1};
    int m_nLastPercent = 0;
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string MakeLine(int n) {
    char text[64];
    std::snprintf(text, sizeof text, "%07d  ITEM %-12s  %6.2f", n, "COFFEE", (n % 1000) / 10.0);
    return text;
}

// Mean and 99th percentile of |interval - period| in ms, and the total drift in ms.
struct Cadence {
    double meanMs = 0;
    double p99Ms = 0;
    double driftMs = 0;
    std::size_t lines = 0;
};

Cadence MeasureCadence(const std::vector<Clock::time_point>& stamps, double periodMs) {
    Cadence cadence;
    cadence.lines = stamps.size();
    if (stamps.size() < 2) {
        return cadence;
    }
    std::vector<double> errors;
    for (std::size_t n = 1; n < stamps.size(); ++n) {
        const double interval =
            std::chrono::duration<double, std::milli>(stamps[n] - stamps[n - 1]).count();
        errors.push_back(std::fabs(interval - periodMs));
    }
    double sum = 0;
    for (double e : errors) {
        sum += e;
    }
    cadence.meanMs = sum / static_cast<double>(errors.size());
    std::sort(errors.begin(), errors.end());
    cadence.p99Ms = errors[std::min(
        errors.size() - 1, static_cast<std::size_t>(0.99 * static_cast<double>(errors.size())))];
    cadence.driftMs =
        std::chrono::duration<double, std::milli>(stamps.back() - stamps.front()).count() -
        periodMs * static_cast<double>(stamps.size() - 1);
    return cadence;
}

OptionRecord TcpOptions(std::uint16_t port, std::uint32_t delayMs, bool loop) {
    OptionRecord options = MakeDefaultOptionRecord();
    options.outputInterface = kInterfaceTcpClient;
    options.remoteAddress = 0x7F000001;
    options.remotePort = port;
    options.delayMs = delayMs;
    options.loopEnabled = loop ? 1 : 0;
    return options;
}

// The plainest program that does the same job: the lines in memory, one send each.
// With `bYield`, the loop also gives the processor away once per line as the engine does at
// delay 0: on a busy machine that alone costs more than everything else the engine does.
double MinimalLoopLinesPerSecond(const std::vector<std::string>& lines, Receiver& receiver,
                                 bool bYield) {
    receiver.Reset();
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(receiver.Port());
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    const auto start = Clock::now();
    for (const std::string& line : lines) {
        if (send(fd, line.data(), line.size(), MSG_NOSIGNAL) < 0) {
            std::perror("send");
            std::exit(1);
        }
        if (bYield) {
            std::this_thread::yield();
        }
    }
    receiver.WaitForLines(lines.size(), 120s);
    const auto end = Clock::now();
    close(fd);
    return static_cast<double>(lines.size()) / Seconds(end - start);
}

// The engine playing `path` (`nLines` lines) at 10 ms to a stamping receiver.
Cadence EngineCadence(const std::string& path, int nLines) {
    StampingUdpReceiver receiver;
    OptionRecord options = TcpOptions(receiver.Port(), 10, false);
    options.outputInterface = kInterfaceUdpClient;
    QuietHost host(options);
    CSocketClient socketClient;
    {
        COutputPlayback playback(host, socketClient);
        playback.Start({path, false, nLines});
        host.WaitForEnded(1);
        receiver.WaitForDatagrams(static_cast<std::size_t>(nLines), 60s);
    }
    return MeasureCadence(receiver.Stamps(), 10.0);
}

// Threads that keep every processor busy for as long as they live, as other programs on a busy
// machine would.
class BusyThreads {
  public:
    explicit BusyThreads(unsigned count) {
        for (unsigned n = 0; n < count; ++n) {
            m_threads.emplace_back([this] {
                std::uint64_t spins = 0;
                while (!m_bStop.load(std::memory_order_relaxed)) {
                    ++spins;
                }
                m_nSpins += spins;
            });
        }
    }
    ~BusyThreads() {
        m_bStop = true;
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

  private:
    std::atomic<bool> m_bStop{false};
    std::atomic<std::uint64_t> m_nSpins{0};
    std::vector<std::thread> m_threads;
};

}  // namespace

int main(int argc, char** argv) {
    const int nThroughputLines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int nCadenceLines = argc > 2 ? std::atoi(argv[2]) : 2000;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tillstream-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);

    // (a) throughput
    {
        const std::string path = (folder / "million.txt").string();
        std::vector<std::string> lines;
        lines.reserve(static_cast<std::size_t>(nThroughputLines));
        {
            std::ofstream out(path, std::ios::binary);
            for (int n = 0; n < nThroughputLines; ++n) {
                lines.push_back(MakeLine(n) + "\n");
                out << lines.back();
            }
        }
        Receiver receiver(false);
        QuietHost host(TcpOptions(receiver.Port(), 0, false));
        CSocketClient socketClient;
        double engineRate = 0;
        {
            COutputPlayback playback(host, socketClient);
            const auto start = Clock::now();
            playback.Start({path, false, nThroughputLines});
            host.WaitForEnded(1);
            if (!receiver.WaitForLines(static_cast<std::uint64_t>(nThroughputLines), 120s)) {
                std::printf("throughput: receiver got only %llu of %d lines\n",
                            static_cast<unsigned long long>(receiver.Lines()), nThroughputLines);
            }
            const auto end = Clock::now();
            engineRate = nThroughputLines / Seconds(end - start);
            playback.WaitUntilEnded(10s);
        }
        const std::uint64_t engineBytes = receiver.Bytes();
        const double minimalRate = MinimalLoopLinesPerSecond(lines, receiver, false);
        const double minimalYieldRate = MinimalLoopLinesPerSecond(lines, receiver, true);
        std::printf("(a) throughput, delay 0, %d lines over loopback TCP (%llu bytes)\n",
                    nThroughputLines, static_cast<unsigned long long>(engineBytes));
        std::printf("    engine:        %12.0f lines/s\n", engineRate);
        std::printf("    minimal loop:  %12.0f lines/s (one send per line)\n", minimalRate);
        std::printf("    minimal loop with one yield per line: %12.0f lines/s\n", minimalYieldRate);
        std::printf("    ratio engine / minimal: %.2f; engine / minimal with yield: %.2f\n",
                    engineRate / minimalRate, engineRate / minimalYieldRate);
    }

    // (b) cadence
    {
        const std::string path = (folder / "cadence.txt").string();
        {
            std::ofstream out(path, std::ios::binary);
            for (int n = 0; n < nCadenceLines; ++n) {
                out << MakeLine(n) << "\n";
            }
        }
        const Cadence engine = EngineCadence(path, nCadenceLines);
        const unsigned nBusy = std::max(2u, std::thread::hardware_concurrency());
        Cadence busy;
        {
            BusyThreads load(nBusy);
            busy = EngineCadence(path, nCadenceLines);
        }

        StampingUdpReceiver receiver;
        const std::string scriptPath = (folder / "loop.sh").string();
        {
            std::ofstream script(scriptPath);
            script << "for i in $(seq " << nCadenceLines
                   << "); do printf 'line\\n'; sleep 0.01; done > /dev/udp/127.0.0.1/"
                   << receiver.Port() << "\n";
        }
        const std::string command = "bash " + scriptPath;
        const int status = std::system(command.c_str());
        receiver.WaitForDatagrams(static_cast<std::size_t>(nCadenceLines), 30s);
        const Cadence shell = MeasureCadence(receiver.Stamps(), 10.0);

        std::printf("(b) cadence at 10 ms, %d lines: |interval - 10 ms| mean / p99, total drift\n",
                    nCadenceLines);
        std::printf("    engine:     mean %6.3f ms  p99 %6.3f ms  drift %+9.1f ms  (%zu lines)\n",
                    engine.meanMs, engine.p99Ms, engine.driftMs, engine.lines);
        std::printf(
            "    engine, %u busy threads: mean %6.3f ms  p99 %6.3f ms  drift %+9.1f ms  (%zu "
            "lines)\n",
            nBusy, busy.meanMs, busy.p99Ms, busy.driftMs, busy.lines);
        std::printf("    shell loop: mean %6.3f ms  p99 %6.3f ms  drift %+9.1f ms  (%zu lines%s)\n",
                    shell.meanMs, shell.p99Ms, shell.driftMs, shell.lines,
                    status == 0 ? "" : ", shell loop failed");
    }

    // (c) stop latency
    {
        const std::string path = (folder / "cadence.txt").string();
        Receiver receiver(false);
        QuietHost host(TcpOptions(receiver.Port(), 60000, true));
        CSocketClient socketClient;
        COutputPlayback playback(host, socketClient);
        std::vector<double> latencies;
        for (int n = 0; n < 20; ++n) {
            const std::uint64_t before = receiver.Lines();
            playback.Start({path, false, nCadenceLines});
            receiver.WaitForLines(before + 1, 10s);  // the first line is out, the pause has begun
            const auto stop = Clock::now();
            playback.RequestStop();
            const auto ended = host.WaitForEnded(n + 1);
            latencies.push_back(std::chrono::duration<double, std::milli>(ended - stop).count());
            playback.WaitUntilEnded(10s);
        }
        std::sort(latencies.begin(), latencies.end());
        double sum = 0;
        for (double l : latencies) {
            sum += l;
        }
        std::printf(
            "(c) stop during a 60,000 ms pause, 20 runs: mean %.3f ms, max %.3f ms "
            "(stop request to end notice)\n",
            sum / static_cast<double>(latencies.size()), latencies.back());
    }

    std::filesystem::remove_all(folder);
    return 0;
}

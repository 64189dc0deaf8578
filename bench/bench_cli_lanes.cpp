// Many lanes at once, in three parts:
// (a) `tillstream-cli rig` playing 64 lanes at a 10 ms delay over TCP loopback, 2,000 lines
//     each, beside 64 separate `play` processes doing the same work in the same run.
// (b) The rig at scale: 64, 1,000 and 10,000 TCP lanes at 100 ms, 100 lines each (about 10 s),
//     into one epoll receiver: the lanes that arrived complete, each lane's p99 deviation (the
//     median lane and the worst, as the receiver saw the lines arrive and as the rig measured
//     them leaving), the rig's peak memory, its most threads, and its CPU time per 1,000 lines.
// (c) Listen mode: two devices, one that reads and one that stops reading; the reading device's
//     longest gap between two lines.
// Every line's arrival is stamped by the system as it reaches the receiving socket (on loopback:
// when the sender hands it over), so that only the senders' timing counts; for each lane the
// deviation of every interval from the delay gives a mean and a 99th percentile (nearest rank),
// and the figures printed are the median and the worst lane's. A read that returns more than one
// line carries the arrival of its last line only: the intervals next to the others are left out
// of the figures, and how many were is printed.
// Usage: bench_cli_lanes [compare [lanes [lines [delay ms]]] | scale [lanes...] | listen]
//        (no argument: all three, with the defaults above). TILLSTREAM_CLI in the environment
//        names another tillstream-cli to measure (another commit's build, say).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// A line's arrival as the system stamped it (since 1970); unknown for a line that shared its read
// with a later one.
struct Stamp {
    std::chrono::nanoseconds when{};
    bool bKnown = false;
};

// A socket listening on 127.0.0.1 at a port of the system's choice (into `port`) that has the
// system stamp what arrives; the connections it accepts inherit the stamping.
int StampingListener(int backlog, std::uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd, backlog);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

// Reads what has come on a stamping connection into `buffer`, as recv does (the count, 0 at its
// end, -1 on failure), with the system's stamp of its arrival (since 1970) in `arrived`.
ssize_t ReceiveStamped(int fd, char* buffer, std::size_t size, std::chrono::nanoseconds& arrived) {
    alignas(cmsghdr) char control[128];
    iovec data{buffer, size};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = recvmsg(fd, &message, 0);
    arrived = {};
    for (cmsghdr* c = got > 0 ? CMSG_FIRSTHDR(&message) : nullptr; c != nullptr;
         c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec when{};
            std::memcpy(&when, CMSG_DATA(c), sizeof when);
            arrived = std::chrono::seconds(when.tv_sec) + std::chrono::nanoseconds(when.tv_nsec);
        }
    }
    return got;
}

// One listening socket per lane on 127.0.0.1; a single thread reads every connection and notes
// when each line feed arrived, per lane.
class LaneReceivers {
  public:
    explicit LaneReceivers(int nLanes) : m_lanes(static_cast<std::size_t>(nLanes)) {
        for (Lane& lane : m_lanes) {
            lane.listenFd = StampingListener(16, lane.port);
        }
        m_thread = std::thread([this] { Run(); });
    }
    ~LaneReceivers() {
        m_bStop = true;
        m_thread.join();
        for (Lane& lane : m_lanes) {
            close(lane.listenFd);
            if (lane.connFd >= 0) {
                close(lane.connFd);
            }
        }
    }
    std::uint16_t Port(std::size_t lane) const { return m_lanes[lane].port; }

    struct LaneResult {
        std::vector<Stamp> arrivals;
        std::uint64_t readsOfSeveralLines = 0;
    };
    // What each lane received since the last Take (the readings start afresh).
    std::vector<LaneResult> Take() {
        std::lock_guard lock(m_mutex);
        std::vector<LaneResult> results;
        for (Lane& lane : m_lanes) {
            results.push_back({std::move(lane.arrivals), lane.readsOfSeveralLines});
            lane.arrivals.clear();
            lane.readsOfSeveralLines = 0;
        }
        return results;
    }

  private:
    struct Lane {
        int listenFd = -1;
        int connFd = -1;
        std::uint16_t port = 0;
        std::vector<Stamp> arrivals;
        std::uint64_t readsOfSeveralLines = 0;
    };

    void Run() {
        std::vector<pollfd> items;
        std::vector<std::size_t> owners;
        char buffer[65536];
        while (!m_bStop) {
            items.clear();
            owners.clear();
            for (std::size_t n = 0; n < m_lanes.size(); ++n) {
                const Lane& lane = m_lanes[n];
                items.push_back({lane.connFd >= 0 ? lane.connFd : lane.listenFd, POLLIN, 0});
                owners.push_back(n);
            }
            if (poll(items.data(), items.size(), 50) <= 0) {
                continue;
            }
            for (std::size_t k = 0; k < items.size(); ++k) {
                if (items[k].revents == 0) {
                    continue;
                }
                Lane& lane = m_lanes[owners[k]];
                if (lane.connFd < 0) {
                    // One connection per lane at a time: the next is taken when it has closed.
                    lane.connFd = accept4(lane.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
                    continue;
                }
                std::chrono::nanoseconds arrived{};
                const ssize_t got = ReceiveStamped(lane.connFd, buffer, sizeof buffer, arrived);
                if (got <= 0) {
                    close(lane.connFd);
                    lane.connFd = -1;
                    continue;
                }
                const auto lines = std::count(buffer, buffer + got, '\n');
                std::lock_guard lock(m_mutex);
                for (long n = 0; n < lines; ++n) {
                    lane.arrivals.push_back({arrived, n + 1 == lines});
                }
                if (lines > 1) {
                    ++lane.readsOfSeveralLines;
                }
            }
        }
    }

    std::vector<Lane> m_lanes;  // the sockets: the reading thread's; the readings: under m_mutex
    std::mutex m_mutex;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

struct Spread {
    double meanMs = 0;
    double p99Ms = 0;
    std::size_t unknown = 0;  // intervals left out: an end's arrival was not known
};

// The value at `fraction` of the way up `values` (nearest rank); 0 for none.
double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

// |interval - delay| over one lane's arrivals.
Spread LaneSpread(const std::vector<Stamp>& arrivals, double delayMs) {
    std::vector<double> deviations;
    std::size_t unknown = 0;
    for (std::size_t n = 1; n < arrivals.size(); ++n) {
        if (!arrivals[n].bKnown || !arrivals[n - 1].bKnown) {
            ++unknown;
            continue;
        }
        const double interval =
            std::chrono::duration<double, std::milli>(arrivals[n].when - arrivals[n - 1].when)
                .count();
        deviations.push_back(std::fabs(interval - delayMs));
    }
    if (deviations.empty()) {
        return {0, 0, unknown};
    }
    std::sort(deviations.begin(), deviations.end());
    double sum = 0;
    for (const double d : deviations) {
        sum += d;
    }
    return {sum / static_cast<double>(deviations.size()), Percentile(deviations, 0.99), unknown};
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Worst(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

// Prints one side's figures from what the receivers took in.
void Report(const char* name, const std::vector<LaneReceivers::LaneResult>& results,
            std::size_t nLines, double delayMs, double seconds) {
    std::vector<double> means;
    std::vector<double> p99s;
    std::uint64_t received = 0;
    std::uint64_t severalLines = 0;
    std::size_t unknown = 0;
    std::size_t complete = 0;
    for (const auto& lane : results) {
        const Spread spread = LaneSpread(lane.arrivals, delayMs);
        means.push_back(spread.meanMs);
        p99s.push_back(spread.p99Ms);
        received += lane.arrivals.size();
        severalLines += lane.readsOfSeveralLines;
        unknown += spread.unknown;
        complete += lane.arrivals.size() == nLines ? 1 : 0;
    }
    std::printf("%s: %zu lanes, %zu of them complete, %llu of %zu lines in %.1f s\n", name,
                results.size(), complete, static_cast<unsigned long long>(received),
                results.size() * nLines, seconds);
    std::printf(
        "    %s: per-lane p99 deviation median %.3f ms, worst %.3f ms; "
        "per-lane mean deviation median %.3f ms, worst %.3f ms\n",
        name, Median(p99s), Worst(p99s), Median(means), Worst(means));
    std::printf("    %s: reads that held more than one line: %llu; intervals left out: %zu\n", name,
                static_cast<unsigned long long>(severalLines), unknown);
}

// Starts tillstream-cli with `args` (its name first), its output and error output into files.
pid_t Spawn(const std::vector<std::string>& args, const std::string& outPath,
            const std::string& errPath = "/dev/null") {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen(outPath.c_str(), "w", stdout);
        std::freopen(errPath.c_str(), "w", stderr);
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        const char* other = std::getenv("TILLSTREAM_CLI");
        execv(other != nullptr ? other : TILLSTREAM_CLI_PATH, argv.data());
        _exit(127);
    }
    return pid;
}

// A wait status as a shell's exit code: 128 + n for a death by signal n.
int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int WaitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return ExitCodeOf(status);
}

// The rig's own summary: the p99 column of each lane's row.
std::vector<double> RigP99s(const std::string& summaryPath) {
    std::ifstream in(summaryPath);
    std::vector<double> p99s;
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> row;
        for (std::string word; words >> word;) {
            row.push_back(word);
        }
        if (!row.empty() && row.back() != "-") {
            p99s.push_back(std::atof(row.back().c_str()));
        }
    }
    return p99s;
}

// A folder of its own for one part's files (`name` and the process id), where the programs it
// starts also keep their options.
std::filesystem::path BenchFolder(const std::string& name) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    return folder;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

// (a) One rig against a play process per lane.
void Compare(int nLanes, std::size_t nLines, int delayMs) {
    const std::filesystem::path folder = BenchFolder("tillstream-bench");

    LaneReceivers receivers(nLanes);
    std::string rig = "{\"lanes\": [\n";
    std::vector<std::string> files;
    for (int lane = 0; lane < nLanes; ++lane) {
        files.push_back((folder / ("lane" + std::to_string(lane + 1) + ".txt")).string());
        std::ofstream out(files.back(), std::ios::binary);
        for (std::size_t n = 0; n < nLines; ++n) {
            out << "lane " << lane + 1 << " line " << n + 1 << " TOTAL 12.50 CASH 20.00\r\n";
        }
        rig += std::string(lane > 0 ? ",\n" : "") + "  {\"file\": \"" + files.back() +
               "\", \"tcp\": \"127.0.0.1:" + std::to_string(receivers.Port(lane)) +
               "\", \"delay\": " + std::to_string(delayMs) + "}";
    }
    rig += "\n]}\n";
    const std::string rigPath = (folder / "rig.json").string();
    std::ofstream(rigPath) << rig;

    std::printf(
        "%d lanes at %d ms over TCP loopback, %zu lines per lane; arrivals stamped by the "
        "system\n",
        nLanes, delayMs, nLines);

    // One process, one lane per thread.
    auto start = std::chrono::steady_clock::now();
    const std::string summaryPath = (folder / "rig-summary.txt").string();
    const int rigCode = WaitFor(Spawn({"tillstream-cli", "rig", rigPath, "--quiet"}, summaryPath));
    const double rigSeconds = SecondsSince(start);
    std::this_thread::sleep_for(200ms);  // the last lines' reads
    Report("rig", receivers.Take(), nLines, delayMs, rigSeconds);
    const std::vector<double> ownP99s = RigP99s(summaryPath);
    std::printf(
        "    rig: exit %d; its own summary (send times): per-lane p99 median %.3f ms, "
        "worst %.3f ms\n",
        rigCode, Median(ownP99s), Worst(ownP99s));

    // The yardstick: a process per lane.
    start = std::chrono::steady_clock::now();
    std::vector<pid_t> plays;
    for (int lane = 0; lane < nLanes; ++lane) {
        plays.push_back(Spawn({"tillstream-cli", "play", files[lane], "--tcp",
                               "127.0.0.1:" + std::to_string(receivers.Port(lane)), "--delay",
                               std::to_string(delayMs), "--quiet"},
                              "/dev/null"));
    }
    int failed = 0;
    for (const pid_t pid : plays) {
        failed += WaitFor(pid) != 0 ? 1 : 0;
    }
    const double playSeconds = SecondsSince(start);
    std::this_thread::sleep_for(200ms);
    Report("separate plays", receivers.Take(), nLines, delayMs, playSeconds);
    std::printf("    separate plays: %d of %d exited other than 0\n", failed, nLanes);

    std::filesystem::remove_all(folder);
}

namespace {

// One listening socket on 127.0.0.1 that takes every lane's connection, read by one thread through
// epoll; each connection's line feeds stamped by the system as they arrived.
class EpollReceiver {
  public:
    EpollReceiver() {
        m_listenFd = StampingListener(SOMAXCONN, m_port);
        m_epollFd = epoll_create1(EPOLL_CLOEXEC);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = m_listenFd;
        epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_listenFd, &event);
        m_thread = std::thread([this] { Run(); });
    }
    ~EpollReceiver() {
        m_bStop = true;
        m_thread.join();
        for (auto& [fd, connection] : m_connections) {
            close(fd);
        }
        close(m_epollFd);
        close(m_listenFd);
    }
    std::uint16_t Port() const { return m_port; }

    // Every connection's arrivals so far (the readings start afresh).
    std::vector<std::vector<Stamp>> Take() {
        std::lock_guard lock(m_mutex);
        std::vector<std::vector<Stamp>> all;
        for (auto& [fd, connection] : m_connections) {
            all.push_back(std::move(connection));
            connection.clear();
        }
        for (auto& connection : m_closed) {
            all.push_back(std::move(connection));
        }
        m_closed.clear();
        return all;
    }

  private:
    void Run() {
        std::vector<epoll_event> events(1024);
        char buffer[65536];
        while (!m_bStop) {
            const int ready =
                epoll_wait(m_epollFd, events.data(), static_cast<int>(events.size()), 50);
            for (int k = 0; k < ready; ++k) {
                const int fd = events[static_cast<std::size_t>(k)].data.fd;
                if (fd == m_listenFd) {
                    for (;;) {
                        const int accepted =
                            accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                        if (accepted < 0) {
                            break;
                        }
                        epoll_event event{};
                        event.events = EPOLLIN;
                        event.data.fd = accepted;
                        epoll_ctl(m_epollFd, EPOLL_CTL_ADD, accepted, &event);
                        std::lock_guard lock(m_mutex);
                        m_connections[accepted];
                    }
                    continue;
                }
                std::chrono::nanoseconds arrived{};
                const ssize_t got = ReceiveStamped(fd, buffer, sizeof buffer, arrived);
                if (got <= 0) {
                    epoll_ctl(m_epollFd, EPOLL_CTL_DEL, fd, nullptr);
                    close(fd);
                    std::lock_guard lock(m_mutex);
                    m_closed.push_back(std::move(m_connections[fd]));
                    m_connections.erase(fd);
                    continue;
                }
                const auto lines = std::count(buffer, buffer + got, '\n');
                std::lock_guard lock(m_mutex);
                std::vector<Stamp>& connection = m_connections[fd];
                for (long n = 0; n < lines; ++n) {
                    connection.push_back({arrived, n + 1 == lines});
                }
            }
        }
    }

    int m_listenFd = -1;
    int m_epollFd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::map<int, std::vector<Stamp>> m_connections;  // under m_mutex
    std::vector<std::vector<Stamp>> m_closed;
    std::thread m_thread;
};

// The most threads /proc says `pid` has had, looked at every 20 ms until it ends; its exit code,
// CPU time and peak memory from the system's account of it.
struct ChildFigures {
    int exitCode = -1;
    int mostThreads = 0;
    double cpuSeconds = 0;
    long peakKiB = 0;
    double seconds = 0;
};

ChildFigures Watch(pid_t pid) {
    ChildFigures figures;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        int status = 0;
        rusage usage{};
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            figures.exitCode = ExitCodeOf(status);
            figures.cpuSeconds =
                static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
            figures.peakKiB = usage.ru_maxrss;
            figures.seconds = SecondsSince(start);
            return figures;
        }
        std::ifstream statusFile("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(statusFile, line)) {
            if (line.rfind("Threads:", 0) == 0) {
                figures.mostThreads = std::max(figures.mostThreads, std::atoi(line.c_str() + 8));
            }
        }
        std::this_thread::sleep_for(20ms);
    }
}

// (b) One rig of `nLanes` TCP lanes at 100 ms, 100 lines each, all playing one file.
void Scale(int nLanes) {
    constexpr int kDelayMs = 100;
    constexpr std::size_t kLines = 100;
    const std::filesystem::path folder = BenchFolder("tillstream-bench-scale");
    {
        std::ofstream out(folder / "receipt.txt", std::ios::binary);
        for (std::size_t n = 0; n < kLines; ++n) {
            out << "line " << n + 1 << " Coffee beans 1kg                  12.90\r\n";
        }
    }
    EpollReceiver receiver;
    std::string rig = "{\"lanes\": [\n";
    for (int lane = 0; lane < nLanes; ++lane) {
        rig += std::string(lane > 0 ? ",\n" : "") +
               "  {\"file\": \"receipt.txt\", \"tcp\": \"127.0.0.1:" +
               std::to_string(receiver.Port()) + "\", \"delay\": " + std::to_string(kDelayMs) + "}";
    }
    std::ofstream(folder / "rig.json") << rig << "\n]}\n";
    const std::string report = (folder / "report.json").string();

    const pid_t pid = Spawn(
        {"tillstream-cli", "rig", (folder / "rig.json").string(), "--quiet", "--report", report},
        (folder / "summary.txt").string());
    const ChildFigures figures = Watch(pid);
    std::this_thread::sleep_for(300ms);  // the last lines' reads
    const std::vector<std::vector<Stamp>> arrivals = receiver.Take();

    std::vector<double> arrivedP99s;
    std::size_t complete = 0;
    std::uint64_t received = 0;
    std::size_t unknown = 0;
    for (const auto& connection : arrivals) {
        const Spread spread = LaneSpread(connection, kDelayMs);
        arrivedP99s.push_back(spread.p99Ms);
        complete += connection.size() == kLines ? 1 : 0;
        received += connection.size();
        unknown += spread.unknown;
    }
    std::vector<double> sentP99s;
    std::uint64_t sent = 0;
    try {
        std::ifstream in(report);
        const nlohmann::json rows = nlohmann::json::parse(in)["lanes"];
        for (const nlohmann::json& row : rows) {
            sent += row["sent"].get<std::uint64_t>();
            if (row["p99_deviation_ms"].is_number()) {
                sentP99s.push_back(row["p99_deviation_ms"].get<double>());
            }
        }
    } catch (const std::exception&) {
        // No report: the figures below say 0.
    }
    const unsigned processors = std::thread::hardware_concurrency();
    std::printf("scale %d: %d TCP lanes at %d ms, %zu lines each; %u processors\n", nLanes, nLanes,
                kDelayMs, kLines, processors);
    std::printf(
        "    scale %d: exit %d in %.1f s; %zu of %d lanes complete, %llu of %llu lines "
        "arrived (%zu connections)\n",
        nLanes, figures.exitCode, figures.seconds, complete, nLanes,
        static_cast<unsigned long long>(received),
        static_cast<unsigned long long>(static_cast<std::uint64_t>(nLanes) * kLines),
        arrivals.size());
    std::printf(
        "    scale %d: per-lane p99 deviation as arrived: median %.3f ms, worst %.3f ms; "
        "as sent (the rig's report): median %.3f ms, worst %.3f ms\n",
        nLanes, Percentile(arrivedP99s, 0.5), Worst(arrivedP99s), Percentile(sentP99s, 0.5),
        Worst(sentP99s));
    std::printf(
        "    scale %d: peak memory %.1f MB, most threads %d, CPU %.2f s = %.3f s per 1000 "
        "lines; intervals left out: %zu\n",
        nLanes, static_cast<double>(figures.peakKiB) / 1024.0, figures.mostThreads,
        figures.cpuSeconds,
        sent == 0 ? 0.0 : figures.cpuSeconds * 1000.0 / static_cast<double>(sent), unknown);
    std::filesystem::remove_all(folder);
}

// A device that connects to a listening play: reads (noting when each line arrived) or reads
// nothing at all.
class BenchDevice {
  public:
    BenchDevice(std::uint16_t port, bool bRead) {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        if (!bRead) {
            const int small = 4096;
            setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        if (bRead) {
            m_thread = std::thread([this] {
                char buffer[65536];
                for (;;) {
                    // The system's stamp of the data's arrival, as the receivers take it.
                    std::chrono::nanoseconds arrived{};
                    const ssize_t got = ReceiveStamped(m_fd, buffer, sizeof buffer, arrived);
                    if (got <= 0) {
                        return;
                    }
                    for (long n = std::count(buffer, buffer + got, '\n'); n > 0; --n) {
                        m_arrivals.push_back(arrived);
                    }
                }
            });
        }
    }
    ~BenchDevice() {
        shutdown(m_fd, SHUT_RDWR);
        if (m_thread.joinable()) {
            m_thread.join();
        }
        close(m_fd);
    }
    // After the sender closed: the longest time between two lines, and how many came.
    // The longest gap between two lines' arrivals, the lines, and the gaps left out because
    // the system gave a read no stamp.
    struct Gaps {
        double longestMs = 0;
        std::size_t lines = 0;
        std::size_t unknown = 0;
    };
    Gaps Measure() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
        Gaps gaps{0, m_arrivals.size(), 0};
        for (std::size_t n = 1; n < m_arrivals.size(); ++n) {
            if (m_arrivals[n].count() == 0 || m_arrivals[n - 1].count() == 0) {
                ++gaps.unknown;
                continue;
            }
            gaps.longestMs = std::max(gaps.longestMs, std::chrono::duration<double, std::milli>(
                                                          m_arrivals[n] - m_arrivals[n - 1])
                                                          .count());
        }
        return gaps;
    }

  private:
    int m_fd = -1;
    std::thread m_thread;
    std::vector<std::chrono::nanoseconds> m_arrivals;
};

// (c) `play --listen` at 50 ms, 200 lines of 16 KiB, to a device that reads and one that stops.
void Listen() {
    constexpr int kDelayMs = 50;
    constexpr int kLines = 200;
    const std::filesystem::path folder = BenchFolder("tillstream-bench-listen");
    {
        std::ofstream out(folder / "wide.txt", std::ios::binary);
        for (int n = 0; n < kLines; ++n) {
            out << "line " << n + 1 << ' ' << std::string(16 * 1024, '.') << "\n";
        }
    }
    // A port of the system's choice, read back from play's first message.
    const std::string errPath = (folder / "play.err").string();
    const pid_t pid = Spawn({"tillstream-cli", "play", (folder / "wide.txt").string(), "--listen",
                             "127.0.0.1:0", "--delay", std::to_string(kDelayMs)},
                            "/dev/null", errPath);
    int port = 0;
    for (int tries = 0; tries < 200 && port == 0; ++tries) {
        std::this_thread::sleep_for(10ms);
        std::ifstream in(errPath);
        std::string line;
        if (std::getline(in, line) && line.find("listening on tcp") == 0) {
            port = std::atoi(line.c_str() + line.rfind(':') + 1);
        }
    }
    BenchDevice::Gaps gaps;
    {
        BenchDevice reader(static_cast<std::uint16_t>(port), true);
        std::this_thread::sleep_for(20ms);
        BenchDevice silent(static_cast<std::uint16_t>(port), false);
        WaitFor(pid);
        gaps = reader.Measure();
    }
    std::ifstream in(errPath);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("listen: %d lines of 16 KiB at %d ms to a reading and a silent device\n", kLines,
                kDelayMs);
    std::printf(
        "    listen: the reading device got %zu lines, longest gap %.3f ms (delay + %.3f "
        "ms; gaps without a stamp: %zu); the silent device %s\n",
        gaps.lines, gaps.longestMs, gaps.longestMs - kDelayMs, gaps.unknown,
        text.find("connection 2 dropped: not reading") != std::string::npos ? "was dropped"
                                                                            : "was not dropped");
    std::filesystem::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
    // The receivers hold a connection per lane.
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    const std::string part = argc > 1 ? argv[1] : "";
    if (part.empty() || part == "compare") {
        Compare(argc > 2 ? std::atoi(argv[2]) : 64,
                argc > 3 ? static_cast<std::size_t>(std::atol(argv[3])) : 2000,
                argc > 4 ? std::atoi(argv[4]) : 10);
    }
    if (part.empty() || part == "scale") {
        std::vector<int> counts;
        for (int n = 2; n < argc; ++n) {
            counts.push_back(std::atoi(argv[n]));
        }
        if (counts.empty()) {
            counts = {64, 1000, 10000};
        }
        for (const int count : counts) {
            Scale(count);
        }
    }
    if (part.empty() || part == "listen") {
        Listen();
    }
    return 0;
}

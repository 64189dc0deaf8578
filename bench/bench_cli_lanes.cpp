// Many lanes at once: `tillstream-cli rig` playing 64 lanes at a 10 ms delay over TCP loopback,
// 2,000 lines each, beside 64 separate `play` processes doing the same work in the same run.
// Every line's arrival is stamped by the system as it reaches the receiving socket (on loopback:
// when the sender hands it over), so that only the senders' timing counts; for each lane the
// deviation of every interval from 10 ms gives a mean and a 99th percentile (nearest rank), and
// the figures printed are the median and the worst lane's. A read that returns more than one
// line carries the arrival of its last line only: the intervals next to the others are left out
// of the figures, and how many were is printed.
// Usage: bench_cli_lanes [lanes, default 64] [lines per lane, default 2000] [delay ms, default 10]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
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
#include <mutex>
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

// One listening socket per lane on 127.0.0.1; a single thread reads every connection and notes
// when each line feed arrived, per lane.
class LaneReceivers {
  public:
    explicit LaneReceivers(int nLanes) : m_lanes(static_cast<std::size_t>(nLanes)) {
        for (Lane& lane : m_lanes) {
            lane.listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            const int on = 1;
            // Inherited by the accepted connections.
            setsockopt(lane.listenFd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            bind(lane.listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            listen(lane.listenFd, 16);
            socklen_t length = sizeof address;
            getsockname(lane.listenFd, reinterpret_cast<sockaddr*>(&address), &length);
            lane.port = ntohs(address.sin_port);
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
        alignas(cmsghdr) char control[128];
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
                iovec data{buffer, sizeof buffer};
                msghdr message{};
                message.msg_iov = &data;
                message.msg_iovlen = 1;
                message.msg_control = control;
                message.msg_controllen = sizeof control;
                const ssize_t got = recvmsg(lane.connFd, &message, 0);
                if (got <= 0) {
                    close(lane.connFd);
                    lane.connFd = -1;
                    continue;
                }
                std::chrono::nanoseconds arrived{};
                for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr;
                     c = CMSG_NXTHDR(&message, c)) {
                    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                        timespec when{};
                        std::memcpy(&when, CMSG_DATA(c), sizeof when);
                        arrived = std::chrono::seconds(when.tv_sec) +
                                  std::chrono::nanoseconds(when.tv_nsec);
                    }
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
    const std::size_t rank =
        static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(deviations.size())));
    return {sum / static_cast<double>(deviations.size()),
            deviations[std::max<std::size_t>(rank, 1) - 1], unknown};
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
        name, Median(p99s), p99s.empty() ? 0.0 : *std::max_element(p99s.begin(), p99s.end()),
        Median(means), means.empty() ? 0.0 : *std::max_element(means.begin(), means.end()));
    std::printf("    %s: reads that held more than one line: %llu; intervals left out: %zu\n", name,
                static_cast<unsigned long long>(severalLines), unknown);
}

pid_t Spawn(const std::vector<std::string>& args, const std::string& outPath) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen(outPath.c_str(), "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(TILLSTREAM_CLI_PATH, argv.data());
        _exit(127);
    }
    return pid;
}

int WaitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int nLanes = argc > 1 ? std::atoi(argv[1]) : 64;
    const std::size_t nLines = argc > 2 ? static_cast<std::size_t>(std::atol(argv[2])) : 2000;
    const int delayMs = argc > 3 ? std::atoi(argv[3]) : 10;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tillstream-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);

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
        rigCode, Median(ownP99s),
        ownP99s.empty() ? 0.0 : *std::max_element(ownP99s.begin(), ownP99s.end()));

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
    return 0;
}

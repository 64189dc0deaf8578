// How long tillstream-cli takes to end after a termination signal while it is stuck in a send:
// `play` at delay 0 of an 8 MB file to a receiver that accepts the connection and never reads,
// so the run waits in a send with every buffer full. Time from the signal to the process's end,
// as its parent sees it, and the exit codes (143 SIGTERM, 129 SIGHUP, 130 SIGINT).
// Usage: bench_cli_stop [runs with SIGTERM, default 20]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

// Accepts every connection on 127.0.0.1 and keeps it without reading a byte.
class SilentReceiver {
  public:
    SilentReceiver() {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int size = 4096;
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_fd, 16);
        socklen_t length = sizeof address;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            while (!m_bStop) {
                const int fd = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) {
                    m_accepted.push_back(fd);
                }
            }
        });
    }
    ~SilentReceiver() {
        m_bStop = true;
        shutdown(m_fd, SHUT_RDWR);  // ends the accept
        m_thread.join();
        for (const int fd : m_accepted) {
            close(fd);
        }
        close(m_fd);
    }
    std::uint16_t Port() const { return m_port; }

  private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_bStop{false};
    std::vector<int> m_accepted;  // the accepting thread's only
    std::thread m_thread;
};

struct Result {
    double ms = -1;  // -1: it ended before the signal
    int code = -1;
};

Result StopOnce(const std::string& file, int signalNumber) {
    SilentReceiver receiver;
    const std::string target = "127.0.0.1:" + std::to_string(receiver.Port());
    std::fflush(stdout);  // or the child would write our buffered lines once more
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execl(TILLSTREAM_CLI_PATH, "tillstream-cli", "play", file.c_str(), "--tcp", target.c_str(),
              "--delay", "0", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Long enough to fill every buffer on the way and be left waiting in a send.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Result result;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        result.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return result;
    }
    const auto signalled = Clock::now();
    kill(pid, signalNumber);
    waitpid(pid, &status, 0);
    result.ms = std::chrono::duration<double, std::milli>(Clock::now() - signalled).count();
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const int nRuns = argc > 1 ? std::atoi(argv[1]) : 20;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tillstream-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    const std::string file = (folder / "big.txt").string();
    {
        std::ofstream out(file, std::ios::binary);
        for (int n = 0; n < 200000; ++n) {
            out << "line " << 1000000 + n << " .............................\n";
        }
    }
    std::printf(
        "signal to exit of 'play' stuck in a send (8 MB at delay 0, receiver never reads)\n");
    const struct {
        int signalNumber;
        const char* name;
        int runs;
    } cases[] = {{SIGTERM, "SIGTERM", nRuns},
                 {SIGHUP, "SIGHUP", std::max(1, nRuns / 4)},
                 {SIGINT, "SIGINT", std::max(1, nRuns / 4)}};
    for (const auto& c : cases) {
        std::vector<double> times;
        std::set<int> codes;
        int early = 0;
        for (int n = 0; n < c.runs; ++n) {
            const Result result = StopOnce(file, c.signalNumber);
            codes.insert(result.code);
            if (result.ms < 0) {
                ++early;
            } else {
                times.push_back(result.ms);
            }
        }
        double sum = 0;
        for (const double t : times) {
            sum += t;
        }
        std::string codeText;
        for (const int code : codes) {
            if (!codeText.empty()) {
                codeText += ',';
            }
            codeText += std::to_string(code);
        }
        std::printf("    %-8s %2zu runs: mean %7.3f ms, max %7.3f ms, exit %s%s\n", c.name,
                    times.size(), times.empty() ? 0.0 : sum / static_cast<double>(times.size()),
                    times.empty() ? 0.0 : *std::max_element(times.begin(), times.end()),
                    codeText.c_str(), early > 0 ? " (some ended before the signal)" : "");
    }
    std::filesystem::remove_all(folder);
    return 0;
}

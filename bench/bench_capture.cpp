// Capture figure: a pseudo-terminal linked as a COM port is driven as fast as it will take bytes
// for a few seconds while a capture run records it; every byte sent must be in the file, and the
// rate is printed. Usage: bench_capture [seconds, default 5]
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/CaptureHost.h"
#include "engine/InputCapture.h"
#include "platform/FileSystem.h"
#include "platform/UserFolders.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

class BenchCaptureHost : public CCaptureHost {
  public:
    void ShowMessage(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    void OnCaptureFailed(std::uint64_t) override { m_bFailed = true; }
    void OnCaptureFileOpened(const std::string& path) override {
        std::lock_guard lock(m_mutex);
        m_strPath = path;
    }
    void OnCaptureRunning(std::uint64_t) override {
        std::lock_guard lock(m_mutex);
        m_bRunning = true;
        m_changed.notify_all();
    }
    void OnCaptureEnded(std::uint64_t) override {
        std::lock_guard lock(m_mutex);
        m_bEnded = true;
        m_changed.notify_all();
    }
    bool WaitForRunning() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [&] { return m_bRunning || m_bEnded; }) && m_bRunning;
    }
    std::string Path() {
        std::lock_guard lock(m_mutex);
        return m_strPath;
    }
    bool Failed() const { return m_bFailed.load(); }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_strPath;
    bool m_bRunning = false;
    bool m_bEnded = false;
    std::atomic<bool> m_bFailed{false};
};

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tillstream-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);

    int master = -1;
    int slave = -1;
    char slaveName[256] = {};
    if (openpty(&master, &slave, slaveName, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    const std::filesystem::path ports = std::filesystem::path(ProgramSettingsFolder()) / "ports";
    std::filesystem::create_directories(ports);
    std::filesystem::create_symlink(slaveName, ports / "COM5");

    OptionRecord options = MakeDefaultOptionRecord();
    options.inputComPort = 5;
    options.inputBaudRate = 115200;
    SetCaptureFolder(options, (folder / "captures").c_str());

    BenchCaptureHost host;
    std::uint64_t nSent = 0;
    std::int64_t nInFile = -1;
    double elapsed = 0;
    bool bContentOk = true;
    std::vector<char> block;
    {
        CInputCapture capture(host);
        capture.Start(options);
        if (!host.WaitForRunning()) {
            std::printf("capture did not start\n");
            return 1;
        }
        // Bytes of every value, NUL included, in a pattern that shows a loss or a repeat.
        block.resize(4096);
        for (std::size_t n = 0; n < block.size(); ++n) {
            block[n] = static_cast<char>((n * 7) & 0xFF);
        }
        const auto start = Clock::now();
        const auto end = start + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(seconds));
        while (Clock::now() < end) {
            // A short write goes on from where it stopped, so byte k of the stream is always
            // block[k % size].
            const std::size_t offset = nSent % block.size();
            const ssize_t written = write(master, block.data() + offset, block.size() - offset);
            if (written < 0) {
                std::perror("write");
                break;
            }
            nSent += static_cast<std::uint64_t>(written);
        }
        // Let the run take what is still on its way before it is stopped.
        const std::string path = host.Path();
        auto lastChange = Clock::now();
        std::int64_t lastSize = -1;
        while (Clock::now() - lastChange < 2s) {
            const std::int64_t size = FileSizeOf(path);
            if (size != lastSize) {
                lastSize = size;
                lastChange = Clock::now();
            }
            if (size == static_cast<std::int64_t>(nSent)) {
                break;
            }
            std::this_thread::sleep_for(5ms);
        }
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        capture.RequestStop();
        capture.WaitUntilEnded(10s);
        nInFile = FileSizeOf(path);
        // Same size is not enough: every byte must be the one sent at that place.
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::vector<char> buffer(1 << 16);
        std::uint64_t nOffset = 0;
        while (file != nullptr) {
            const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
            if (got == 0) {
                break;
            }
            for (std::size_t n = 0; n < got && bContentOk; ++n, ++nOffset) {
                bContentOk = buffer[n] == block[nOffset % block.size()];
            }
        }
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    std::printf("capture from a pty for %.1f s: %llu bytes sent, %lld in the file, ratio %.6f\n",
                seconds, static_cast<unsigned long long>(nSent), static_cast<long long>(nInFile),
                nSent ? static_cast<double>(nInFile) / static_cast<double>(nSent) : 0.0);
    std::printf("    %.2f MB/s (sent until all was in the file: %.2f s); content %s%s\n",
                static_cast<double>(nInFile) / elapsed / 1e6, elapsed,
                bContentOk ? "identical" : "DIFFERS", host.Failed() ? "  RUN FAILED" : "");
    close(master);
    close(slave);
    std::filesystem::remove_all(folder);
    return static_cast<std::uint64_t>(nInFile) == nSent && bContentOk ? 0 : 1;
}

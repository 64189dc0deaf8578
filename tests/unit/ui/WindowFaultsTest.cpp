// The window under faults: a capture whose file can no longer be written, a serial device that
// disappears while playing, and Start and Stop pressed a thousand times in quick succession.
#include "HangupPty.h"
#include "PtyPair.h"

#include <signal.h>
#include <sys/resource.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "LoopbackServer.h"
#include "WindowFixture.h"

namespace {
// Every file this process writes is limited to `bytes` while it lives, as on a full disk: a
// write past the limit fails with EFBIG instead of killing the process.
class CFileSizeLimit {
  public:
    explicit CFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_bSet = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~CFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        ::signal(SIGXFSZ, m_oldHandler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;
    bool IsSet() const { return m_bSet; }

  private:
    rlimit m_saved{};
    sighandler_t m_oldHandler = SIG_DFL;
    bool m_bSet = false;
};

// Ends the test program when the test it guards has not finished in time: a deadlock shows
// as a failure with a message rather than as a hung test run.
class CWatchdog {
  public:
    explicit CWatchdog(std::chrono::seconds limit)
        : m_thread([limit](std::stop_token stop) {
              std::mutex mutex;
              std::condition_variable_any done;
              std::unique_lock lock(mutex);
              if (!done.wait_for(lock, stop, limit, [] { return false; }) &&
                  !stop.stop_requested()) {
                  std::fprintf(stderr, "FAIL: the test hung (deadlock?)\n");
                  std::_Exit(3);
              }
          }) {}

  private:
    std::jthread m_thread;
};

std::string OnlyCaptureFile(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        files.push_back(entry.path().string());
    }
    return files.size() == 1 ? files.front() : std::string();
}
}  // namespace

using WindowFaultsTest = WindowFixture;

TEST_F(WindowFaultsTest, ACaptureWhoseFileCannotGrowEndsAndPutsTheButtonsBack) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    pty.LinkAsComPort(2);
    const std::string folder = home.Path("captures");
    OptionRecord record = MakeDefaultOptionRecord();
    record.inputComPort = 2;
    SetCaptureFolder(record, folder.c_str());
    StoreOptions(record);
    Open();

    constexpr rlim_t kLimit = 4096;
    CFileSizeLimit limit(kLimit);
    ASSERT_TRUE(limit.IsSet());
    dlg->OnCommand(IDC_BUTTON_INPUT_START);
    EXPECT_FALSE(Enabled(IDC_BUTTON_INPUT_START));
    ASSERT_TRUE(WaitFor([&] { return !OnlyCaptureFile(folder).empty(); }));
    const std::string file = OnlyCaptureFile(folder);
    // Knock until the port is open and the first byte is in, then send past the limit.
    std::string written;
    ASSERT_TRUE(WaitFor([&] {
        pty.WriteToMaster(".");
        written += ".";
        return !ReadFileBytes(file).empty();
    }));
    const std::size_t leadIn = written.size();
    for (int n = 0; n < 20 && dlg->IsInputRunning(); ++n) {
        std::string piece;
        for (int k = 0; k < 500; ++k) {
            piece += static_cast<char>('a' + (n * 500 + k) % 26);
        }
        pty.WriteToMaster(piece);
        written += piece;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Main().RunPosted();
    }

    // The run ends on its own and the input buttons are idle again.
    ASSERT_TRUE(WaitFor([this] { return !dlg->IsInputRunning(); }));
    ASSERT_TRUE(WaitFor([this] { return Enabled(IDC_BUTTON_INPUT_START); }));
    EXPECT_FALSE(Enabled(IDC_BUTTON_INPUT_STOP));
    // Every byte that arrived before the failure is in the file, in order.
    const std::string captured = ReadFileBytes(file);
    ASSERT_EQ(captured.size(), std::size_t(kLimit));
    bool bFound = false;
    for (std::size_t skipped = 0; skipped <= leadIn && !bFound; ++skipped) {
        bFound = written.compare(skipped, captured.size(), captured) == 0;
    }
    EXPECT_TRUE(bFound) << "the file is not the bytes that arrived";
    // The window goes on: a new capture can be started and stopped.
    dlg->OnCommand(IDC_BUTTON_INPUT_STOP);
}

TEST_F(WindowFaultsTest, ASerialDeviceThatDisappearsLeavesTheWindowUsable) {
    HangupPty device;
    device.LinkAsComPort(3);
    OptionRecord record = MakeDefaultOptionRecord();
    record.outputInterface = kInterfaceRs232;
    record.outputComPort = 3;
    record.outputBaudRate = 115200;
    record.delayMs = 5;
    record.loopEnabled = 1;
    StoreOptions(record);
    CRecordingView& main = Open();
    Choose(File("day.txt", "ONE\nTWO\nTHREE\n"));

    main.Click(IDC_BUTTON_OUTPUT_START);
    std::string arrived;
    ASSERT_TRUE(WaitFor([&] {
        arrived += device.Read(1, std::chrono::milliseconds(10));
        return arrived.find("TWO\n") != std::string::npos;
    }));
    device.Hangup();
    // The run meets the lost device, line after line.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    WaitFor([&] { return std::chrono::steady_clock::now() >= until; });

    // The window still does what it is asked.
    Choose(File("other.txt", "A\nB\n"));
    EXPECT_EQ(dlg->LineCount(), 2);
    main.Click(IDC_BUTTON_OUTPUT_STOP);
    ASSERT_TRUE(WaitFor([this] { return !dlg->IsOutputRunning(); }));
    EXPECT_TRUE(Enabled(IDC_BUTTON_OUTPUT_START));
    EXPECT_FALSE(Enabled(IDC_BUTTON_OUTPUT_STOP));
    EXPECT_TRUE(Enabled(IDC_LIST_DATA));
    EXPECT_TRUE(views.boxes.empty());
}

TEST_F(WindowFaultsTest, AThousandQuickStartsAndStopsNeverOverlapOrHang) {
    CWatchdog watchdog(std::chrono::seconds(600));
    LoopbackTcpServer receiver;
    OptionRecord record = MakeDefaultOptionRecord();
    record.outputInterface = kInterfaceTcpClient;
    record.remoteAddress = kLoopbackAddress;
    record.remotePort = receiver.Port();
    record.delayMs = 0;
    record.loopEnabled = 1;
    StoreOptions(record);
    CRecordingView& main = Open();
    Choose(File("loop.txt", "A\nB\nC\n"));

    int started = 0;
    for (int n = 0; n < 1000; ++n) {
        const std::size_t connections = receiver.ConnectionCount();
        main.Click(IDC_BUTTON_OUTPUT_START);
        started += Enabled(IDC_BUTTON_OUTPUT_STOP) ? 1 : 0;
        if (n % 50 == 0) {
            // Now and then a run gets as far as its connection before it is stopped, so that
            // runs that overlapped would show in what the receiver got.
            EXPECT_TRUE(receiver.WaitForConnections(connections + 1));
        }
        main.RunPosted();
        main.Click(IDC_BUTTON_OUTPUT_STOP);
        main.RunPosted();
    }
    EXPECT_EQ(started, 1000);
    ASSERT_TRUE(
        main.RunPostedUntil([this] { return !dlg->IsOutputRunning(); }, std::chrono::seconds(60)));
    EXPECT_TRUE(Enabled(IDC_BUTTON_OUTPUT_START));
    EXPECT_FALSE(Enabled(IDC_BUTTON_OUTPUT_STOP));
    EXPECT_TRUE(receiver.WaitForClosed(receiver.ConnectionCount()));

    // Two runs at once would share the window's one connection and mix their lines; every
    // connection instead holds one run's lines from the first, in order.
    const std::string looping = "A\nB\nC\nA\nB\nC\n";
    std::string oneRun;
    std::size_t withLines = 0;
    for (const std::string& bytes : receiver.ReceivedPerConnection()) {
        oneRun.clear();
        while (oneRun.size() < bytes.size()) {
            oneRun += looping;
        }
        EXPECT_EQ(bytes, oneRun.substr(0, bytes.size()));
        withLines += bytes.empty() ? 0 : 1;
    }
    std::printf("FIGURES: 1000 starts and stops: %zu connections, %zu with lines\n",
                receiver.ConnectionCount(), withLines);

    // And the window still plays a run to its end.
    record.loopEnabled = 0;
    record.delayMs = 1;
    StoreOptions(record);
    dlg->InitData();
    const std::size_t before = receiver.ByteCount();
    main.Click(IDC_BUTTON_OUTPUT_START);
    EXPECT_TRUE(receiver.WaitForBytes(before + 6));
    EXPECT_TRUE(WaitFor([this] { return Enabled(IDC_BUTTON_OUTPUT_START); }));
}

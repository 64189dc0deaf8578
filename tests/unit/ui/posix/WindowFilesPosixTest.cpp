// The window meeting what only POSIX systems offer or allow: names that hold a load in its open
// (a named pipe) or never end (/dev/zero), a data file reached through a symbolic link, a record
// the store cannot save, and a capture file that can no longer grow (a file size limit).
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "../WindowFixture.h"
#include "PtyPair.h"
#include "datafile/FileNames.h"

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
    bool IsSet() const { return m_bSet; }

  private:
    rlimit m_saved{};
    sighandler_t m_oldHandler = SIG_DFL;
    bool m_bSet = false;
};
}  // namespace

using WindowFilesPosixTest = WindowFixture;

TEST_F(WindowFilesPosixTest, APipeOrADeviceIsRefusedAtOnce) {
    // A pipe without writer would hold the load in its open, /dev/zero would never end.
    ASSERT_EQ(::mkfifo(home.Path("fifo").c_str(), 0600), 0);
    Open();
    ExpectLoadRefused({home.Path("fifo"), "/dev/zero"});
}

TEST_F(WindowFilesPosixTest, MakeAndRestoreThroughALinkChangeTheFileItPointsTo) {
    ASSERT_TRUE(std::filesystem::create_directory(home.Path("data")));
    const std::string real = File("data/log.txt", kHexLog);
    const std::string link = home.Path("day.log");
    std::filesystem::create_symlink("data/log.txt", link);
    CRecordingView& main = Open();
    Choose(link);
    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    EXPECT_EQ(views.boxes.back().text, "Success, Make tillstream data.");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(BackupFilePath(real)), kHexLog);
    EXPECT_EQ(dlg->LineCount(), 2);

    // Loaded again through the link, the backup beside the file it points to is found.
    Choose(link);
    EXPECT_EQ(main.GetItemText(IDC_BUTTON_MAKE_TILLSTREAM_DATA), "Restore Data");
    EXPECT_TRUE(Enabled(IDC_BUTTON_MAKE_TILLSTREAM_DATA));
    main.Click(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
    EXPECT_EQ(views.boxes.back().text, "Success, Restore data.");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(real), kHexLog);
    EXPECT_FALSE(FileExists(BackupFilePath(real)));
    EXPECT_FALSE(FileExists(BackupFilePath(link)));
}

TEST_F(WindowFilesPosixTest, ARecordThatCannotBeSavedStaysInForceSilently) {
    // The superuser the tests run as ignores folder permissions: a folder named like the value
    // makes the save fail.
    std::filesystem::create_directories(home.SettingsFolder() + "/OptionData");
    CRecordingView& main = Open();
    views.OnModal(IDD_OUTPUT_OPTION, [](CRecordingView& options) {
        options.Type(IDC_EDIT_DELAY, "125");
        options.Click(IDC_BUTTON_OUTPUT_OK);
    });
    main.Click(IDC_BUTTON_OUTPUT_OPTION);
    EXPECT_EQ(dlg->Options().delayMs, 125u);
    EXPECT_EQ(Rows()[2][2], "125 msec");
    EXPECT_TRUE(std::filesystem::is_directory(home.SettingsFolder() + "/OptionData"));
    EXPECT_TRUE(views.boxes.empty());
}

TEST_F(WindowFilesPosixTest, ACaptureWhoseFileCannotGrowEndsAndPutsTheButtonsBack) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    pty.LinkAsComPort(2);
    const std::string folder = home.Path("captures");
    StoreOptions(CaptureOptions(2, folder));
    Open();

    constexpr rlim_t kLimit = 4096;
    CFileSizeLimit limit(kLimit);
    ASSERT_TRUE(limit.IsSet());
    dlg->OnCommand(IDC_BUTTON_INPUT_START);
    ASSERT_TRUE(WaitFor([&] { return FilesIn(folder).size() == 1; }));
    const std::string file = FilesIn(folder).front();
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
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
        WaitFor([&] { return std::chrono::steady_clock::now() >= until; });
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
}

// Conversion on Linux: the file's mode carried over, and read and write errors in the middle of
// the line copy, made with /dev/full and a terminal whose other side goes away.
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "TempHome.h"
#include "datafile/Conversion.h"

namespace {

const std::string kMarkerLine = "[TILLSTREAM_DATA]\r\n";

const std::string kThreeRecords =
    "[2026-12-06 05:59:12] 0x1b 0x40 0x48 0x69\r\n"
    "[2026-12-06 05:59:13] hello\r\n"
    "[2026-12-06 05:59:14] 0x0d 0x0a\r\n";

class ConversionPosixTest : public TempHomeTest {
  protected:
    std::string D = home.Path("day1.txt");
    std::string B = home.Path("day1.bak");
    std::string T = home.Path("day1.tmp");
};

TEST_F(ConversionPosixTest, TheConvertedAndTheRestoredFileKeepTheOriginalsMode) {
    WriteFileBytes(D, kThreeRecords);
    ::chmod(D.c_str(), 0640);
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    struct stat info {};
    ASSERT_EQ(::stat(D.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(RestoreDataFile(D), kRestoreOk);
    ASSERT_EQ(::stat(D.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(ConversionPosixTest, WriteErrorWhileCopyingLinesDeletesTheTempFileOnly) {
    if (!FileExists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full to write to";
    }
    WriteFileBytes(D, kThreeRecords);
    // T's name leads to a device on which every write fails with "no space left".
    ASSERT_EQ(::symlink("/dev/full", T.c_str()), 0);
    EXPECT_EQ(MakeTillstreamDataFile(D), kMakeCopyLinesFailed);
    EXPECT_EQ(ReadFileBytes(D), kThreeRecords);
    EXPECT_FALSE(FileExists(T));
    EXPECT_EQ(ReadFileBytes(B), kThreeRecords);
    EXPECT_TRUE(FileExists("/dev/full"));
}

TEST_F(ConversionPosixTest, AFileThatIsNotARegularFileIsNeitherConvertedNorRestored) {
    // A terminal (reached through a link, as a data file name might be) and a named pipe: each
    // would hold a reader for ever. A writer holds the pipe open, so that this test cannot hang
    // even if they were read.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const std::string terminal = home.Path("terminal.log");
    ASSERT_EQ(::symlink(name, terminal.c_str()), 0);
    const std::string fifo = home.Path("fifo.log");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_NE(writer, -1);

    for (const std::string& path : {terminal, fifo}) {
        EXPECT_EQ(MakeTillstreamDataFile(path), kMakeBackupFailed) << path;
        EXPECT_FALSE(FileExists(home.Path(path == fifo ? "fifo.bak" : "terminal.bak")));
        EXPECT_FALSE(FileExists(home.Path(path == fifo ? "fifo.tmp" : "terminal.tmp")));
    }
    // A backup beside the pipe is not copied into it, and is kept.
    WriteFileBytes(home.Path("fifo.bak"), kThreeRecords);
    EXPECT_EQ(RestoreDataFile(fifo), kRestoreCopyBackFailed);
    EXPECT_EQ(ReadFileBytes(home.Path("fifo.bak")), kThreeRecords);
    struct stat info {};
    ASSERT_EQ(::stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    char target[256] = {};
    ASSERT_GT(::readlink(terminal.c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, name);
    ::close(writer);
    ::close(master);
    ::close(slave);
}


TEST_F(ConversionPosixTest, ConvertAndRestoreThroughALinkChangeTheFileItPointsTo) {
    // data/day1.txt is reached through two links in another folder: links/day.log ->
    // links/hop.log -> ../data/day1.txt.
    ASSERT_EQ(::mkdir(home.Path("data").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(home.Path("links").c_str(), 0700), 0);
    const std::string real = home.Path("data/day1.txt");
    WriteFileBytes(real, kThreeRecords);
    ASSERT_EQ(::symlink("../data/day1.txt", home.Path("links/hop.log").c_str()), 0);
    const std::string link = home.Path("links/day.log");
    ASSERT_EQ(::symlink("hop.log", link.c_str()), 0);
    auto isLink = [](const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
    };

    EXPECT_EQ(ConversionBackupPath(link), home.Path("data/day1.bak"));
    ASSERT_EQ(MakeTillstreamDataFile(link), kMakeOk);
    EXPECT_TRUE(isLink(link));
    EXPECT_TRUE(isLink(home.Path("links/hop.log")));
    EXPECT_EQ(ReadFileBytes(real), kMarkerLine + "0x1b 0x40 0x48 0x69\r\n0x0d 0x0a\r\n");
    EXPECT_EQ(ReadFileBytes(link), ReadFileBytes(real));
    EXPECT_EQ(ReadFileBytes(home.Path("data/day1.bak")), kThreeRecords);
    EXPECT_FALSE(FileExists(home.Path("data/day1.tmp")));
    EXPECT_FALSE(FileExists(home.Path("links/day.bak")));
    EXPECT_FALSE(FileExists(home.Path("links/day.tmp")));

    ASSERT_EQ(RestoreDataFile(link), kRestoreOk);
    EXPECT_TRUE(isLink(link));
    EXPECT_EQ(ReadFileBytes(real), kThreeRecords);
    EXPECT_FALSE(FileExists(home.Path("data/day1.bak")));

    // A link that leads nowhere cannot be opened: it is neither converted nor replaced by its
    // backup, which stays.
    const std::string dangling = home.Path("links/gone.log");
    ASSERT_EQ(::symlink("../data/gone.txt", dangling.c_str()), 0);
    EXPECT_EQ(MakeTillstreamDataFile(dangling), kMakeBackupFailed);
    WriteFileBytes(home.Path("links/gone.bak"), kThreeRecords);
    EXPECT_EQ(RestoreDataFile(dangling), kRestoreCopyBackFailed);
    EXPECT_TRUE(isLink(dangling));
    EXPECT_EQ(ReadFileBytes(home.Path("links/gone.bak")), kThreeRecords);
    EXPECT_FALSE(FileExists(home.Path("data/gone.txt")));
}


// What the thread `tid` is doing, from /proc: the number of the system call it waits in and its
// first argument, or false when it is running or /proc does not tell.
bool WaitingSystemCall(long tid, long& number, long& firstArgument) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
    std::string first;
    std::string second;
    if (!(in >> first >> second) || first == "running") {
        return false;
    }
    number = std::stol(first);
    firstArgument = std::stol(second, nullptr, 16);
    return true;
}

std::string DescriptorTarget(long fd) {
    char target[256] = {};
    const ssize_t n =
        ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

TEST_F(ConversionPosixTest, ReadErrorWhileCopyingLinesDeletesTheTempFileOnly) {
    // The data file is a terminal whose other side goes away while the lines are being read:
    // the read then fails with an input/output error. The backup copy reads the terminal up to
    // its end-of-file character first, so only the line copy meets the error.
    {
        std::ifstream probe("/proc/self/task/" + std::to_string(::syscall(SYS_gettid)) +
                            "/syscall");
        std::string field;
        if (!(probe >> field)) {
            GTEST_SKIP() << "/proc does not show what a thread waits in";
        }
    }
    long number = 0;
    long argument = 0;
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios settings{};
    ASSERT_EQ(::tcgetattr(slave, &settings), 0);
    settings.c_lflag |= ICANON;
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
    settings.c_cc[VEOF] = 4;
    ASSERT_EQ(::tcsetattr(slave, TCSANOW, &settings), 0);
    ASSERT_EQ(::symlink(name, D.c_str()), 0);
    const std::string record = "[2026-12-06 05:59:12] 0x41\n";
    const std::string typed = record + "\x04";
    ASSERT_EQ(::write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));

    std::atomic<long> workerTid{0};
    std::atomic<int> result{1};
    std::thread worker([&] {
        workerTid = ::syscall(SYS_gettid);
        result = MakeTillstreamDataFile(D);
    });
    // Wait (without a time limit that matters: the limit only keeps a broken build from
    // hanging) until the worker waits for more input from the terminal.
    bool bWaiting = false;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!bWaiting && std::chrono::steady_clock::now() < giveUp && result == 1) {
        const long tid = workerTid;
        bWaiting = tid != 0 && WaitingSystemCall(tid, number, argument) && number == SYS_read &&
                   DescriptorTarget(argument) == name;
        if (!bWaiting) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ::close(master);
    worker.join();
    ::close(slave);
    ASSERT_TRUE(bWaiting) << "the conversion never waited on the terminal; result " << result;

    EXPECT_EQ(result, kMakeCopyLinesFailed);
    EXPECT_FALSE(FileExists(T));
    EXPECT_EQ(ReadFileBytes(B), record);
    char target[256] = {};
    ASSERT_GT(::readlink(D.c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, name);  // D itself was not replaced
}

}  // namespace

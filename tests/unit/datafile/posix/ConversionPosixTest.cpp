// Conversion on Linux: the file's mode carried over, a write error in the middle of the line copy
// (made with /dev/full), files that are not regular files, and symbolic links.
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "../ConversionFixture.h"
#include "TempHome.h"
#include "datafile/Conversion.h"

namespace {

class ConversionPosixTest : public ConversionFixture {};

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

}  // namespace

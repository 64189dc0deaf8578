// Make Tillstream Data and Restore Data on real files: what the data file, its backup and its
// temporary file hold afterwards.
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "TempHome.h"
#include "datafile/Conversion.h"
#include "datafile/ConversionTexts.h"
#include "datafile/DataFileKind.h"
#include "datafile/FilesInPlay.h"
#include "datafile/LineReader.h"
#include "platform/FileHandle.h"

namespace {

const std::string kMarkerLine = "[TILLSTREAM_DATA]\r\n";

const std::string kThreeRecords =
    "[2026-12-06 05:59:12] 0x1b 0x40 0x48 0x69\r\n"
    "[2026-12-06 05:59:13] hello\r\n"
    "[2026-12-06 05:59:14] 0x0d 0x0a\r\n";

class ConversionTest : public TempHomeTest {
  protected:
    std::string D = home.Path("day1.txt");
    std::string B = home.Path("day1.bak");
    std::string T = home.Path("day1.tmp");
};

TEST_F(ConversionTest, KeepsThePayloadOfEveryRecordThatHasOne) {
    WriteFileBytes(D, kThreeRecords);
    EXPECT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    EXPECT_EQ(ReadFileBytes(D), kMarkerLine + "0x1b 0x40 0x48 0x69\r\n0x0d 0x0a\r\n");
    EXPECT_EQ(ReadFileBytes(B), kThreeRecords);
    EXPECT_FALSE(FileExists(T));
    EXPECT_EQ(IsTillstreamDataFile(D), kDataFileConverted);
}

TEST_F(ConversionTest, WhichLinesBecomeRecords) {
    using namespace std::string_literals;
    const std::string source =
        "abc\n"                                 // 3 characters: dropped
        "[2026-12-06 05:59:12] 0x4\n"           // payload of 3 characters: dropped
        "[2026-12-06 05:59:12] 0x41\n"          // kept
        "a0x42 0x43\r\n"                        // no "]": taken from position 1
        "0x44 0x45\n"                           // no "]": from position 1 it starts with "x"
        "]x0x46\n"                              // first "]" at 0: payload from 2
        "[2026-12-06 05:59:12]  0x47\n"         // payload begins with a space
        "[2026-12-06] 0x48] 0x49\n"             // the FIRST "]" counts
        "[2026-12-06 05:59:12]\n"               // nothing after the stamp
        "[2026-12-06 05:59:12] 0x4A\0 0x4B\n"s  // a NUL stays in the payload
        "[2026-12-06 05:59:12] 0xzz";           // last line, no line end, not decoded here
    WriteFileBytes(D, source);
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    EXPECT_EQ(ReadFileBytes(D), kMarkerLine +
                                    "0x41\r\n"
                                    "0x42 0x43\r\n"
                                    "0x46\r\n"
                                    "0x48] 0x49\r\n"
                                    "0x4A\0 0x4B\r\n"s
                                    "0xzz\r\n");
    EXPECT_EQ(ReadFileBytes(B), source);
}

TEST_F(ConversionTest, ALogWithoutRecordsGivesTheMarkerOnly) {
    WriteFileBytes(D, "[2026-12-06 05:59:12] no payload here\r\n");
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    EXPECT_EQ(ReadFileBytes(D), kMarkerLine);
}

TEST_F(ConversionTest, ConvertingAConvertedFileKeepsOnlyItsMarker) {
    WriteFileBytes(D, kThreeRecords);
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    const std::string converted = ReadFileBytes(D);
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    EXPECT_EQ(ReadFileBytes(D), kMarkerLine);
    EXPECT_EQ(ReadFileBytes(B), converted);
}

TEST_F(ConversionTest, MakeThenRestoreGivesBackTheFileByteForByte) {
    using namespace std::string_literals;
    const std::string original = kThreeRecords + "\x1b\0\xff tail without line end"s;
    WriteFileBytes(D, original);
    ::chmod(D.c_str(), 0640);
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    struct stat info {};
    ASSERT_EQ(::stat(D.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);  // the converted file keeps the original's mode

    EXPECT_EQ(RestoreDataFile(D), kRestoreOk);
    EXPECT_EQ(ReadFileBytes(D), original);
    EXPECT_FALSE(FileExists(B));
    EXPECT_FALSE(FileExists(T));
    ASSERT_EQ(::stat(D.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // A second Make makes the backup anew; a second Restore then works again.
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    EXPECT_EQ(ReadFileBytes(B), original);
    EXPECT_EQ(RestoreDataFile(D), kRestoreOk);
    EXPECT_EQ(ReadFileBytes(D), original);
}

TEST_F(ConversionTest, NothingToWorkOn) {
    EXPECT_EQ(MakeTillstreamDataFile(""), kMakeNoDataFile);
    EXPECT_EQ(RestoreDataFile(""), kRestoreNoDataFile);

    EXPECT_EQ(MakeTillstreamDataFile(D), kMakeBackupFailed);  // D does not exist
    EXPECT_FALSE(FileExists(B));
    EXPECT_FALSE(FileExists(T));

    WriteFileBytes(D, kThreeRecords);
    EXPECT_EQ(RestoreDataFile(D), kRestoreBackupMissing);
    EXPECT_EQ(ReadFileBytes(D), kThreeRecords);
}

TEST_F(ConversionTest, RestoreRecreatesADeletedDataFile) {
    WriteFileBytes(D, kThreeRecords);
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    ASSERT_EQ(::unlink(D.c_str()), 0);
    EXPECT_EQ(RestoreDataFile(D), kRestoreOk);
    EXPECT_EQ(ReadFileBytes(D), kThreeRecords);
}

TEST_F(ConversionTest, AFileInPlayIsNeitherConvertedNorRestored) {
    WriteFileBytes(D, kThreeRecords);
    {
        // Played here: the program's own knowledge refuses it.
        CFileInPlayGuard inPlay(D);
        EXPECT_EQ(MakeTillstreamDataFile(D), kMakeBackupFailed);
    }
    {
        // Played by another program: only its shared lock tells.
        CFileHandle otherPlayer;
        ASSERT_EQ(otherPlayer.OpenForRead(D), FileError::None);
        ASSERT_EQ(otherPlayer.LockShared(), FileError::None);
        EXPECT_EQ(MakeTillstreamDataFile(D), kMakeBackupFailed);
    }
    EXPECT_EQ(ReadFileBytes(D), kThreeRecords);
    EXPECT_FALSE(FileExists(B));
    EXPECT_FALSE(FileExists(T));

    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    const std::string converted = ReadFileBytes(D);
    {
        CLineReader player;
        ASSERT_EQ(player.OpenForPlayback(D), FileError::None);
        EXPECT_EQ(RestoreDataFile(D), kRestoreCopyBackFailed);
        EXPECT_EQ(MakeTillstreamDataFile(D), kMakeBackupFailed);
        EXPECT_EQ(ReadFileBytes(D), converted);
        EXPECT_EQ(ReadFileBytes(B), kThreeRecords);
    }
    EXPECT_EQ(RestoreDataFile(D), kRestoreOk);
    EXPECT_EQ(ReadFileBytes(D), kThreeRecords);
}

TEST_F(ConversionTest, PlaybackStartingDuringChangesAlwaysReadsAWholeFile) {
    WriteFileBytes(D, kThreeRecords);
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    const std::string converted = ReadFileBytes(D);
    ASSERT_EQ(RestoreDataFile(D), kRestoreOk);

    std::atomic<bool> bChanging{true};
    std::atomic<int> wholeOriginal{0};
    std::atomic<int> wholeConverted{0};
    std::atomic<int> mixed{0};
    std::thread player([&] {
        CLineReader reader(LineMode::Binary, 16);
        while (bChanging) {
            if (reader.OpenForPlayback(D) != FileError::None) {
                continue;  // held by a conversion or restore just now
            }
            std::string content;
            std::string line;
            while (reader.ReadLine(line) == ReadLineResult::Line) {
                content += line + "\n";
            }
            reader.Close();
            std::this_thread::yield();  // give the changes a chance between plays
            if (content == kThreeRecords) {
                ++wholeOriginal;
            } else if (content == converted) {
                ++wholeConverted;
            } else {
                ++mixed;
            }
        }
    });
    int makes = 0;
    while (makes < 20) {
        const int made = MakeTillstreamDataFile(D);
        ASSERT_TRUE(made == kMakeOk || made == kMakeBackupFailed) << made;
        if (made == kMakeOk) {
            ++makes;
            int restored;
            while ((restored = RestoreDataFile(D)) == kRestoreCopyBackFailed) {
            }
            ASSERT_EQ(restored, kRestoreOk);
        }
    }
    // Let the player finish at least one whole read, however the threads were scheduled.
    while (wholeOriginal + wholeConverted + mixed == 0) {
        std::this_thread::yield();
    }
    bChanging = false;
    player.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_GT(wholeOriginal + wholeConverted, 0);
    EXPECT_EQ(ReadFileBytes(D), kThreeRecords);
    EXPECT_FALSE(FileExists(B));
    EXPECT_FALSE(FileExists(T));
    std::printf("%d conversions; the player read %d originals and %d converted files\n", makes,
                wholeOriginal.load(), wholeConverted.load());
}

TEST_F(ConversionTest, AFileNamedLikeItsOwnCompanionIsLeftAlone) {
    const std::string bak = home.Path("day2.bak");
    WriteFileBytes(bak, kThreeRecords);
    EXPECT_EQ(MakeTillstreamDataFile(bak), kMakeBackupFailed);
    EXPECT_EQ(ReadFileBytes(bak), kThreeRecords);
    EXPECT_EQ(RestoreDataFile(bak), kRestoreCopyBackFailed);
    EXPECT_EQ(ReadFileBytes(bak), kThreeRecords);

    const std::string tmp = home.Path("day3.tmp");
    WriteFileBytes(tmp, kThreeRecords);
    EXPECT_EQ(MakeTillstreamDataFile(tmp), kMakeCreateTempFailed);
    EXPECT_EQ(ReadFileBytes(tmp), kThreeRecords);
    EXPECT_EQ(ReadFileBytes(home.Path("day3.bak")), kThreeRecords);
}

TEST_F(ConversionTest, TempFileThatCannotBeCreatedLeavesTheDataFile) {
    WriteFileBytes(D, kThreeRecords);
    ASSERT_EQ(::mkdir(T.c_str(), 0700), 0);  // a folder holds T's name
    EXPECT_EQ(MakeTillstreamDataFile(D), kMakeCreateTempFailed);
    EXPECT_EQ(ReadFileBytes(D), kThreeRecords);
    EXPECT_EQ(ReadFileBytes(B), kThreeRecords);  // made before T was tried
}

TEST_F(ConversionTest, BackupThatCannotBeMadeLeavesTheDataFile) {
    WriteFileBytes(D, kThreeRecords);
    ASSERT_EQ(::mkdir(B.c_str(), 0700), 0);  // a folder holds B's name
    EXPECT_EQ(MakeTillstreamDataFile(D), kMakeBackupFailed);
    EXPECT_EQ(ReadFileBytes(D), kThreeRecords);
    EXPECT_FALSE(FileExists(T));
}

TEST_F(ConversionTest, WriteErrorWhileCopyingLinesDeletesTheTempFileOnly) {
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

TEST_F(ConversionTest, AFileThatIsNotARegularFileIsNeitherConvertedNorRestored) {
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

TEST_F(ConversionTest, ConvertAndRestoreThroughALinkChangeTheFileItPointsTo) {
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

TEST_F(ConversionTest, ATempFileLeftByAKilledConversionIsReusedAndGone) {
    WriteFileBytes(D, kThreeRecords);
    WriteFileBytes(T, std::string(100000, 'x'));  // longer than the converted file
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    EXPECT_EQ(ReadFileBytes(D), kMarkerLine + "0x1b 0x40 0x48 0x69\r\n0x0d 0x0a\r\n");
    EXPECT_FALSE(FileExists(T));
}

TEST(ConversionTextsTest, StringTableEntries) {
    EXPECT_STREQ(ConversionText(102), "Make Tillstream Data");
    EXPECT_STREQ(ConversionText(103), "Restore Data");
    EXPECT_STREQ(ConversionText(104), "Success, Make tillstream data.");
    EXPECT_STREQ(ConversionText(105), "Fail, Make tillstream data.");
    EXPECT_STREQ(ConversionText(106), "Success, Restore data.");
    EXPECT_STREQ(ConversionText(107), "Fail, Restore data.");
    EXPECT_EQ(ConversionText(101), nullptr);
    EXPECT_EQ(ConversionText(108), nullptr);
}

}  // namespace

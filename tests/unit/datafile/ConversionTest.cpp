// Make Tillstream Data and Restore Data on real files: what the data file, its backup and its
// temporary file hold afterwards.
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "ConversionFixture.h"
#include "TempHome.h"
#include "datafile/Conversion.h"
#include "datafile/ConversionTexts.h"
#include "datafile/DataFileKind.h"
#include "datafile/FilesInPlay.h"
#include "datafile/LineReader.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"

namespace {

class ConversionTest : public ConversionFixture {};

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
    // While the original log is its backup, a second conversion would throw that away.
    EXPECT_EQ(MakeTillstreamDataFile(D), kMakeBackupFailed);
    EXPECT_EQ(ReadFileBytes(B), kThreeRecords);
    ASSERT_EQ(RemoveFile(B), FileError::None);
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);
    EXPECT_EQ(ReadFileBytes(D), kMarkerLine);
    EXPECT_EQ(ReadFileBytes(B), converted);
}

TEST_F(ConversionTest, AnExistingBackupIsReplacedOnlyWhenItHoldsTheDataFilesBytes) {
    struct Case {
        const char* what;
        std::string backupBefore;  // empty: no backup file
        int expected;
    };
    const Case cases[] = {
        {"no backup", "", kMakeOk},
        {"the copy a failed conversion left", kThreeRecords, kMakeOk},
        {"a user's own file", "my notes\n", kMakeBackupFailed},
        {"the data file with one byte more", kThreeRecords + "x", kMakeBackupFailed},
        {"an empty file", std::string(), kMakeBackupFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(D, kThreeRecords);
        RemoveFile(B);
        if (!c.backupBefore.empty() || c.expected == kMakeBackupFailed) {
            WriteFileBytes(B, c.backupBefore);
        }
        MakeFailureDetail detail;
        EXPECT_EQ(MakeTillstreamDataFile(D, &detail), c.expected);
        EXPECT_EQ(detail.backupPath, B);
        EXPECT_EQ(detail.bBackupHoldsOtherData, c.expected == kMakeBackupFailed);
        EXPECT_EQ(ReadFileBytes(B), c.expected == kMakeOk ? kThreeRecords : c.backupBefore);
        EXPECT_EQ(ReadFileBytes(D), c.expected == kMakeOk
                                        ? kMarkerLine + "0x1b 0x40 0x48 0x69\r\n0x0d 0x0a\r\n"
                                        : kThreeRecords);
        EXPECT_FALSE(FileExists(T));
    }
}

TEST_F(ConversionTest, TwoLogsThatShareABackupNameKeepBothOriginals) {
    // till.log and till.txt both have till.bak as their backup.
    const std::string log = home.Path("till.log");
    const std::string txt = home.Path("till.txt");
    const std::string otherLog = "[2026-12-06 06:00:00] 0x41\r\n";
    WriteFileBytes(log, kThreeRecords);
    WriteFileBytes(txt, otherLog);
    ASSERT_EQ(MakeTillstreamDataFile(log), kMakeOk);
    EXPECT_EQ(MakeTillstreamDataFile(txt), kMakeBackupFailed);
    EXPECT_EQ(ReadFileBytes(txt), otherLog);
    ASSERT_EQ(RestoreDataFile(log), kRestoreOk);
    EXPECT_EQ(ReadFileBytes(log), kThreeRecords);
    // With the shared name free again, the other log converts.
    EXPECT_EQ(MakeTillstreamDataFile(txt), kMakeOk);
    EXPECT_EQ(ReadFileBytes(home.Path("till.bak")), otherLog);
}

TEST_F(ConversionTest, MakeThenRestoreGivesBackTheFileByteForByte) {
    using namespace std::string_literals;
    const std::string original = kThreeRecords + "\x1b\0\xff tail without line end"s;
    WriteFileBytes(D, original);
    ASSERT_EQ(MakeTillstreamDataFile(D), kMakeOk);

    EXPECT_EQ(RestoreDataFile(D), kRestoreOk);
    EXPECT_EQ(ReadFileBytes(D), original);
    EXPECT_FALSE(FileExists(B));
    EXPECT_FALSE(FileExists(T));

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
    ASSERT_EQ(RemoveFile(D), FileError::None);
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
    std::atomic<int> attempts{0};
    std::atomic<int> wholeOriginal{0};
    std::atomic<int> wholeConverted{0};
    std::atomic<int> mixed{0};
    std::thread player([&] {
        CLineReader reader(LineMode::Binary, 16);
        while (bChanging) {
            // One play per attempted change, started whenever the attempt is under way: where
            // an open file cannot be replaced (Windows), a player that reopened at once would
            // hold the file nearly all the time and starve the changes.
            const int seen = attempts.load();
            if (reader.OpenForPlayback(D) == FileError::None) {
                std::string content;
                std::string line;
                while (reader.ReadLine(line) == ReadLineResult::Line) {
                    content += line + "\n";
                }
                reader.Close();
                if (content == kThreeRecords) {
                    ++wholeOriginal;
                } else if (content == converted) {
                    ++wholeConverted;
                } else {
                    ++mixed;
                }
            }
            while (bChanging && attempts.load() == seen) {
                std::this_thread::yield();
            }
        }
    });
    int makes = 0;
    while (makes < 20) {
        // A change fails whole when the player holds the file: at its start, or (where the
        // system refuses to replace an open file) at the replacement.
        ++attempts;
        const int made = MakeTillstreamDataFile(D);
        ASSERT_TRUE(made == kMakeOk || made == kMakeBackupFailed || made == kMakeReplaceFailed)
            << made;
        if (made == kMakeOk) {
            ++makes;
            int restored;
            do {
                ++attempts;
            } while ((restored = RestoreDataFile(D)) == kRestoreCopyBackFailed);
            ASSERT_EQ(restored, kRestoreOk);
        }
    }
    // Let the player finish at least one whole read, however the threads were scheduled (with
    // the changes over, its next open succeeds).
    while (wholeOriginal + wholeConverted + mixed == 0) {
        ++attempts;
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
    ASSERT_EQ(MakeDirectory(T), FileError::None);  // a folder holds T's name
    EXPECT_EQ(MakeTillstreamDataFile(D), kMakeCreateTempFailed);
    EXPECT_EQ(ReadFileBytes(D), kThreeRecords);
    EXPECT_EQ(ReadFileBytes(B), kThreeRecords);  // made before T was tried
}

TEST_F(ConversionTest, BackupThatCannotBeMadeLeavesTheDataFile) {
    WriteFileBytes(D, kThreeRecords);
    ASSERT_EQ(MakeDirectory(B), FileError::None);  // a folder holds B's name
    EXPECT_EQ(MakeTillstreamDataFile(D), kMakeBackupFailed);
    EXPECT_EQ(ReadFileBytes(D), kThreeRecords);
    EXPECT_FALSE(FileExists(T));
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

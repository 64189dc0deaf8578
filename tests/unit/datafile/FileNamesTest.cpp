// The names of the conversion's companion files and of capture files.
#include <string>

#include "TempHome.h"
#include "datafile/FileNames.h"
#include "platform/FileSystem.h"

namespace {

TEST(FileNamesTest, CompanionsReplaceTheFileNamesExtension) {
    EXPECT_EQ(BackupFilePath("/pos/day1.txt"), "/pos/day1.bak");
    EXPECT_EQ(TempFilePath("/pos/day1.txt"), "/pos/day1.tmp");
    EXPECT_EQ(BackupFilePath("/pos/day1.log.txt"), "/pos/day1.log.bak");
    EXPECT_EQ(BackupFilePath("day1.txt"), "day1.bak");
    EXPECT_EQ(BackupFilePath("/pos/day1."), "/pos/day1.bak");
}

TEST(FileNamesTest, CompanionsNeverLeaveTheDataFilesFolderOrName) {
    // A "." in a folder name is not the file's extension.
    EXPECT_EQ(BackupFilePath("/pos/my.data/day1"), "/pos/my.data/day1.bak");
    EXPECT_EQ(TempFilePath("/pos/my.data/day1"), "/pos/my.data/day1.tmp");
    // No "." at all: appended, not a bare ".bak" in the current folder.
    EXPECT_EQ(BackupFilePath("/pos/day1"), "/pos/day1.bak");
    EXPECT_EQ(BackupFilePath("day1"), "day1.bak");
    EXPECT_EQ(TempFilePath("./day1"), "./day1.tmp");
    // A hidden file's leading "." opens its name; it is not an extension.
    EXPECT_EQ(BackupFilePath("/pos/.receipt"), "/pos/.receipt.bak");
    EXPECT_EQ(BackupFilePath("/pos/.receipt.txt"), "/pos/.receipt.bak");
}

TEST(FileNamesTest, CaptureNamesCarryTheStartTime) {
    const LocalTime t{2026, 12, 6, 5, 59, 12};
    EXPECT_EQ(FormatTimestamp14(t), "20261206055912");
    EXPECT_EQ(FormatTimestamp14(LocalTime{987, 1, 2, 3, 4, 5}), "09870102030405");
    // The separator the program adds is the system's ("\" on Windows); one already there is
    // not doubled.
    const std::string sep(1, PreferredPathSeparator());
    EXPECT_EQ(CaptureFilePath("/home/pos/Tillstream", t),
              "/home/pos/Tillstream" + sep + "20261206055912.dat");
    EXPECT_EQ(CaptureFilePath("/home/pos/cap/", t), "/home/pos/cap/20261206055912.dat");
    EXPECT_EQ(CaptureFilePath("/", t), "/20261206055912.dat");
    EXPECT_EQ(CaptureFilePath("", t), sep + "20261206055912.dat");
}

using UniqueCaptureFilePathTest = TempHomeTest;

TEST_F(UniqueCaptureFilePathTest, AnExistingCaptureIsNeverReused) {
    const LocalTime t{2026, 12, 6, 5, 59, 12};
    const std::string folder = home.Root();
    const char sep = PreferredPathSeparator();
    const std::string plain = folder + sep + "20261206055912.dat";
    EXPECT_EQ(UniqueCaptureFilePath(folder, t), plain);
    WriteFileBytes(plain, "first run");
    EXPECT_EQ(UniqueCaptureFilePath(folder + sep, t), folder + sep + "20261206055912-2.dat");
    WriteFileBytes(folder + sep + "20261206055912-2.dat", "second run");
    EXPECT_EQ(UniqueCaptureFilePath(folder, t), folder + sep + "20261206055912-3.dat");
    EXPECT_EQ(ReadFileBytes(plain), "first run");
}

}  // namespace

// Companion and capture names on Windows, where the program puts "\" into the names it makes.
#include <gtest/gtest.h>

#include <string>

#include "datafile/FileNames.h"

TEST(FileNamesWin32Test, NamesAreMadeWithBackslashes) {
    const LocalTime t{2026, 12, 6, 5, 59, 12};
    EXPECT_EQ(CaptureFilePath("C:\\Tillstream", t), "C:\\Tillstream\\20261206055912.dat");
    EXPECT_EQ(CaptureFilePath("D:\\cap\\", t), "D:\\cap\\20261206055912.dat");
    EXPECT_EQ(BackupFilePath("C:\\POS\\day1.txt"), "C:\\POS\\day1.bak");
    EXPECT_EQ(TempFilePath("C:\\POS\\day1.txt"), "C:\\POS\\day1.tmp");
    // A "." in a folder name is not the file's extension.
    EXPECT_EQ(BackupFilePath("C:\\my.data\\day1"), "C:\\my.data\\day1.bak");
}

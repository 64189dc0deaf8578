// Files on Linux: locks seen across processes, a rename over a file that is open, permission
// bits carried by a copy, unreadable files, and the local time's zone.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "TempHome.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"

namespace {

using FileHandlePosixTest = TempHomeTest;

TEST_F(FileHandlePosixTest, UnreadableFileIsAccessDenied) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads anything";
    }
    WriteFileBytes(home.Path("taken"), "keep me");
    ::chmod(home.Path("taken").c_str(), 0);
    CFileHandle file;
    EXPECT_EQ(file.OpenForRead(home.Path("taken")), FileError::AccessDenied);
}

TEST_F(FileHandlePosixTest, LockHeldByAnotherProcessIsSeen) {
    WriteFileBytes(home.Path("f"), "data");
    int toChild[2];
    int fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        CFileHandle held;
        const bool ok = held.OpenForRead(home.Path("f")) == FileError::None &&
                        held.LockShared() == FileError::None;
        const char answer = ok ? 'y' : 'n';
        (void)!::write(fromChild[1], &answer, 1);
        char wait = 0;
        (void)!::read(toChild[0], &wait, 1);  // hold the lock until the parent says so
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(fromChild[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');
    CFileHandle changer;
    ASSERT_EQ(changer.OpenForRead(home.Path("f")), FileError::None);
    EXPECT_EQ(changer.LockExclusiveNoWait(), FileError::SharingViolation);
    (void)!::write(toChild[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(changer.LockExclusiveNoWait(), FileError::None);
    for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) {
        ::close(fd);
    }
}

TEST_F(FileHandlePosixTest, ARenameOverAnOpenFileLeavesTheOpenOneReadable) {
    WriteFileBytes(home.Path("f"), "old");
    WriteFileBytes(home.Path("g"), "new");
    CFileHandle file;
    ASSERT_EQ(file.OpenForRead(home.Path("f")), FileError::None);
    EXPECT_TRUE(file.IsSameFileAs(home.Path("f")));
    EXPECT_FALSE(file.IsSameFileAs(home.Path("g")));
    ASSERT_EQ(RenameReplace(home.Path("g"), home.Path("f")), FileError::None);
    EXPECT_FALSE(file.IsSameFileAs(home.Path("f")));
    // The open handle still reads the file it opened.
    char buffer[8];
    const FileReadResult r = file.Read(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, r.bytes), "old");
}

TEST_F(FileHandlePosixTest, CopyKeepsThePermissionBits) {
    WriteFileBytes(home.Path("src"), "bytes");
    ::chmod(home.Path("src").c_str(), 0640);
    WriteFileBytes(home.Path("dst"), "older");
    ASSERT_EQ(CopyFileReplace(home.Path("src"), home.Path("dst")), FileError::None);
    struct stat info {};
    ASSERT_EQ(::stat(home.Path("dst").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(LocalTimePosixTest, FollowsTheTimeZoneVariable) {
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    const std::time_t before = std::time(nullptr);
    const LocalTime now = LocalTimeNow();
    const std::time_t after = std::time(nullptr);
    bool matched = false;
    for (std::time_t t = before; t <= after; ++t) {
        std::tm utc{};
        ::gmtime_r(&t, &utc);
        matched = matched || (now.year == utc.tm_year + 1900 && now.month == utc.tm_mon + 1 &&
                              now.day == utc.tm_mday && now.hour == utc.tm_hour &&
                              now.minute == utc.tm_min && now.second == utc.tm_sec);
    }
    EXPECT_TRUE(matched);
    if (old != nullptr) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

}  // namespace

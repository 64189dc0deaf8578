// Files on Linux: locks seen across processes, a rename over a file that is open, permission
// bits carried by a copy, unreadable files, and the local time's zone.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempHome.h"
#include "platform/FileHandle.h"
#include "platform/FileKind.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"

namespace {

using FileHandlePosixTest = TempHomeTest;

std::size_t EntriesIn(const std::string& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

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

TEST_F(FileHandlePosixTest, OnlyARegularFileOpensForReadingAndTheOthersAreNamed) {
    const std::string fifo = home.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A writer holds the pipe open, so that even an open that waited for one would return here.
    const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_NE(writer, -1);
    ASSERT_EQ(::symlink(fifo.c_str(), home.Path("link-to-fifo").c_str()), 0);
    ASSERT_EQ(MakeDirectory(home.Path("dir")), FileError::None);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = home.Path("sock");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    const struct {
        std::string path;
        const char* kind;
    } cases[] = {
        {fifo, "a named pipe"},
        {home.Path("link-to-fifo"), "a named pipe"},
        {"/dev/zero", "a character device"},
        {home.Path("dir"), "a directory"},
        {socketPath, "a socket"},
    };
    for (const auto& c : cases) {
        CFileHandle file;
        EXPECT_EQ(file.OpenForRead(c.path), FileError::NotRegularFile) << c.path;
        EXPECT_FALSE(file.IsOpen()) << c.path;
        FileKind kind = FileKind::Regular;
        EXPECT_EQ(CheckRegularFile(c.path, kind), FileError::NotRegularFile) << c.path;
        EXPECT_STREQ(FileKindText(kind), c.kind);
    }
    ::close(listener);
    ::close(writer);

    // A regular file opens, and reads as usual: its descriptor does not stay non-blocking.
    WriteFileBytes(home.Path("f"), "data");
    CFileHandle file;
    ASSERT_EQ(file.OpenForRead(home.Path("f")), FileError::None);
    EXPECT_EQ(::fcntl(file.Get(), F_GETFL) & O_NONBLOCK, 0);
    FileKind kind = FileKind::Other;
    EXPECT_EQ(CheckRegularFile(home.Path("f"), kind), FileError::None);
    EXPECT_EQ(kind, FileKind::Regular);
    ASSERT_EQ(::symlink(home.Path("gone").c_str(), home.Path("dangling").c_str()), 0);
    EXPECT_EQ(CheckRegularFile(home.Path("dangling"), kind), FileError::NotFound);
    EXPECT_EQ(CheckRegularFile(home.Path("missing"), kind), FileError::NotFound);
}

TEST_F(FileHandlePosixTest, CopyRemovesHiddenCopiesLeftByEndedProcesses) {
    // No process has the number pid_max: a copy named after it belongs to one that has ended.
    std::ifstream limit("/proc/sys/kernel/pid_max");
    long pidMax = 0;
    if (!(limit >> pidMax)) {
        GTEST_SKIP() << "no pid_max to name a process that cannot exist";
    }
    const std::string folder = home.Path("work");
    ASSERT_EQ(MakeDirectory(folder), FileError::None);
    WriteFileBytes(folder + "/src", "new");
    const std::string ended =
        folder + "/.tillstream-copy-" + std::to_string(pidMax) + "-3-0badf00d";
    const std::string running =
        folder + "/.tillstream-copy-" + std::to_string(::getpid()) + "-3-0badf00d";
    const std::string notACopy = folder + "/.tillstream-copy-notes";
    for (const std::string& path : {ended, running, notACopy}) {
        WriteFileBytes(path, std::string(4096, 'x'));
    }

    ASSERT_EQ(CopyFileReplace(folder + "/src", folder + "/dst"), FileError::None);
    EXPECT_EQ(ReadFileBytes(folder + "/dst"), "new");
    EXPECT_FALSE(FileExists(ended));
    EXPECT_TRUE(FileExists(running));  // a copy still being made elsewhere is left alone
    EXPECT_TRUE(FileExists(notACopy));
    EXPECT_EQ(EntriesIn(folder), 4u);
}

TEST(LocalTimePosixTest, UtcOffsetIsTheZonesWhateverTheTimeOfDay) {
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    // The two ends of the zones in use lie more than a day apart: at any moment one of them is
    // where the time of day alone gives the wrong answer.
    const struct {
        const char* zone;
        std::int64_t offset;
    } zones[] = {{"UTC0", 0},
                 {"<+0530>-5:30", 19800},
                 {"<-0930>9:30", -34200},
                 {"<+14>-14", 14 * 3600},
                 {"<+1345>-13:45", 49500},
                 {"<-12>12", -12 * 3600}};
    for (const auto& z : zones) {
        ::setenv("TZ", z.zone, 1);
        ::tzset();
        EXPECT_EQ(LocalUtcOffsetSeconds(), z.offset) << z.zone;
    }
    if (old != nullptr) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

}  // namespace

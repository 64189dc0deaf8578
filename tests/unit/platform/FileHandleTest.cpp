// The file handle and whole-file operations, on real files in a private temporary folder.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempHome.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"

namespace {

using FileHandleTest = TempHomeTest;

TEST_F(FileHandleTest, OpenAndCreateReportWhyTheyFail) {
    CFileHandle file;
    EXPECT_EQ(file.OpenForRead(home.Path("missing")), FileError::NotFound);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Get(), -1);
    EXPECT_EQ(file.CreateForWrite(home.Path("no/such/folder/file")), FileError::NotFound);

    WriteFileBytes(home.Path("taken"), "keep me");
    EXPECT_EQ(file.CreateNewForWrite(home.Path("taken")), FileError::AlreadyExists);
    EXPECT_EQ(ReadFileBytes(home.Path("taken")), "keep me");

    ::chmod(home.Path("taken").c_str(), 0);
    if (::geteuid() != 0) {  // root reads anything
        EXPECT_EQ(file.OpenForRead(home.Path("taken")), FileError::AccessDenied);
    }
}

TEST_F(FileHandleTest, OnlyARegularFileOpensForReadingAndTheOthersAreNamed) {
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

TEST_F(FileHandleTest, WritesReadsAndReadsAtAnOffsetWithoutMovingOn) {
    CFileHandle out;
    ASSERT_EQ(out.CreateForWrite(home.Path("f")), FileError::None);
    ASSERT_EQ(out.WriteAll("0123456789", 10), FileError::None);
    ASSERT_EQ(out.Sync(), FileError::None);
    ASSERT_EQ(out.CloseChecked(), FileError::None);
    EXPECT_FALSE(out.IsOpen());

    CFileHandle in;
    ASSERT_EQ(in.OpenForRead(home.Path("f")), FileError::None);
    std::uint64_t size = 0;
    ASSERT_EQ(in.SizeOf(size), FileError::None);
    EXPECT_EQ(size, 10u);
    char buffer[16] = {};
    FileReadResult r = in.ReadAt(7, buffer, sizeof buffer);
    EXPECT_EQ(r.error, FileError::None);
    EXPECT_EQ(std::string(buffer, r.bytes), "789");
    r = in.Read(buffer, 4);
    EXPECT_EQ(std::string(buffer, r.bytes), "0123");
    r = in.Read(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, r.bytes), "456789");
    r = in.Read(buffer, sizeof buffer);
    EXPECT_EQ(r.bytes, 0u);
    EXPECT_EQ(r.error, FileError::None);
    ASSERT_EQ(in.Rewind(), FileError::None);
    r = in.Read(buffer, 2);
    EXPECT_EQ(std::string(buffer, r.bytes), "01");

    // Creating again truncates.
    ASSERT_EQ(out.CreateForWrite(home.Path("f")), FileError::None);
    out.Close();
    EXPECT_EQ(ReadFileBytes(home.Path("f")), "");
}

TEST_F(FileHandleTest, MovingHandsOverTheOneDescriptor) {
    WriteFileBytes(home.Path("f"), "x");
    CFileHandle a;
    ASSERT_EQ(a.OpenForRead(home.Path("f")), FileError::None);
    const int fd = a.Get();
    CFileHandle b(std::move(a));
    EXPECT_FALSE(a.IsOpen());  // NOLINT(bugprone-use-after-move): the moved-from state matters
    EXPECT_EQ(b.Get(), fd);
    CFileHandle c;
    c = std::move(b);
    EXPECT_EQ(c.Get(), fd);
    char byte = 0;
    EXPECT_EQ(c.Read(&byte, 1).bytes, 1u);
    EXPECT_EQ(byte, 'x');
}

TEST_F(FileHandleTest, LocksExcludeOtherOpenersUntilReleased) {
    WriteFileBytes(home.Path("f"), "data");
    CFileHandle player1, player2, changer;
    ASSERT_EQ(player1.OpenForRead(home.Path("f")), FileError::None);
    ASSERT_EQ(player2.OpenForRead(home.Path("f")), FileError::None);
    ASSERT_EQ(changer.OpenForRead(home.Path("f")), FileError::None);

    EXPECT_EQ(player1.LockShared(), FileError::None);
    EXPECT_EQ(player2.LockShared(), FileError::None);  // two plays of one file
    EXPECT_EQ(changer.LockExclusiveNoWait(), FileError::SharingViolation);
    player1.Unlock();
    EXPECT_EQ(changer.LockExclusiveNoWait(), FileError::SharingViolation);
    player2.Close();  // closing gives the lock back too
    EXPECT_EQ(changer.LockExclusiveNoWait(), FileError::None);
    EXPECT_EQ(player1.LockShared(), FileError::SharingViolation);
    changer.Close();
    EXPECT_EQ(player1.LockShared(), FileError::None);
}

TEST_F(FileHandleTest, LockHeldByAnotherProcessIsSeen) {
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

TEST_F(FileHandleTest, KnowsWhetherAPathStillNamesItsFile) {
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

using FileSystemTest = TempHomeTest;

std::size_t EntriesIn(const std::string& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++n;
    }
    return n;
}

TEST_F(FileSystemTest, CopyReplacesTheTargetWithBytesAndModeAndLeavesNothingElse) {
    const std::string folder = home.Path("work");
    ASSERT_EQ(MakeDirectory(folder), FileError::None);
    std::string bytes(700 * 1024, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    WriteFileBytes(folder + "/src", bytes);
    ::chmod((folder + "/src").c_str(), 0640);
    WriteFileBytes(folder + "/dst", "older and different");

    ASSERT_EQ(CopyFileReplace(folder + "/src", folder + "/dst"), FileError::None);
    EXPECT_EQ(ReadFileBytes(folder + "/dst"), bytes);
    struct stat info {};
    ASSERT_EQ(::stat((folder + "/dst").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(EntriesIn(folder), 2u);  // no temporary copy left behind
}

TEST_F(FileSystemTest, CopyRemovesHiddenCopiesLeftByEndedProcesses) {
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

TEST_F(FileSystemTest, FailedCopyLeavesTheTargetAsItWas) {
    const std::string folder = home.Path("work");
    ASSERT_EQ(MakeDirectory(folder), FileError::None);
    WriteFileBytes(folder + "/dst", "precious");
    EXPECT_EQ(CopyFileReplace(folder + "/missing", folder + "/dst"), FileError::NotFound);
    // A folder opens but cannot be read as a file.
    ASSERT_EQ(MakeDirectory(folder + "/sub"), FileError::None);
    EXPECT_NE(CopyFileReplace(folder + "/sub", folder + "/dst"), FileError::None);
    EXPECT_EQ(ReadFileBytes(folder + "/dst"), "precious");
    EXPECT_EQ(EntriesIn(folder), 2u);
}

TEST_F(FileSystemTest, DeleteRenameAndFolders) {
    EXPECT_EQ(RemoveFile(home.Path("missing")), FileError::NotFound);
    WriteFileBytes(home.Path("a"), "A");
    WriteFileBytes(home.Path("b"), "B");
    EXPECT_EQ(RenameReplace(home.Path("a"), home.Path("b")), FileError::None);
    EXPECT_FALSE(PathExists(home.Path("a")));
    EXPECT_EQ(ReadFileBytes(home.Path("b")), "A");
    EXPECT_EQ(RemoveFile(home.Path("b")), FileError::None);
    EXPECT_FALSE(PathExists(home.Path("b")));

    EXPECT_EQ(MakeDirectory(home.Path("one")), FileError::None);
    EXPECT_EQ(MakeDirectory(home.Path("one")), FileError::AlreadyExists);
    EXPECT_EQ(MakeDirectory(home.Path("x/y")), FileError::NotFound);  // one level only
    EXPECT_TRUE(PathExists(home.Path("one")));

    EXPECT_EQ(FileSizeOf(home.Path("missing")), -1);
    WriteFileBytes(home.Path("five"), "12345");
    EXPECT_EQ(FileSizeOf(home.Path("five")), 5);
}

TEST_F(FileSystemTest, CanonicalPathGivesOneNamePerFile) {
    ASSERT_EQ(MakeDirectory(home.Path("d")), FileError::None);
    WriteFileBytes(home.Path("d/f"), "x");
    ASSERT_EQ(::symlink(home.Path("d/f").c_str(), home.Path("link").c_str()), 0);
    const std::string canonical = CanonicalPath(home.Path("d/f"));
    EXPECT_EQ(canonical.front(), '/');
    EXPECT_EQ(CanonicalPath(home.Path("link")), canonical);
    EXPECT_EQ(CanonicalPath(home.Path("d/../d/./f")), canonical);
    // A file that does not exist yet still gets a stable name from its folder.
    EXPECT_EQ(CanonicalPath(home.Path("d/../d/new")), CanonicalPath(home.Path("d")) + "/new");
    // A dangling link exists as an entry.
    ASSERT_EQ(::symlink(home.Path("nowhere").c_str(), home.Path("dangling").c_str()), 0);
    EXPECT_TRUE(PathExists(home.Path("dangling")));
    EXPECT_FALSE(PathExists(""));

    // Resolving follows a chain of links to the file, and fails where the chain leads nowhere.
    ASSERT_EQ(::symlink("link", home.Path("link2").c_str()), 0);
    std::string resolved;
    ASSERT_EQ(ResolveFilePath(home.Path("link2"), resolved), FileError::None);
    EXPECT_EQ(resolved, canonical);
    EXPECT_EQ(ResolveFilePath(home.Path("dangling"), resolved), FileError::NotFound);
    EXPECT_EQ(ResolveFilePath(home.Path("d/new"), resolved), FileError::NotFound);
    EXPECT_EQ(resolved, canonical);
}

TEST(LocalTimeTest, IsTheClockInTheLocalZone) {
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

TEST(LocalTimeTest, UtcOffsetIsTheZonesWhateverTheTimeOfDay) {
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

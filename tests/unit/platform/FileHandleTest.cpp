// The file handle and whole-file operations, on real files in a private temporary folder.
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempHome.h"
#include "TestSystem.h"
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
    // Linux cannot tell a missing folder from a missing file; Windows can.
    const FileError noFolder = file.CreateForWrite(home.Path("no/such/folder/file"));
    EXPECT_TRUE(noFolder == FileError::NotFound || noFolder == FileError::PathNotFound)
        << FileErrorText(noFolder);

    WriteFileBytes(home.Path("taken"), "keep me");
    EXPECT_EQ(file.CreateNewForWrite(home.Path("taken")), FileError::AlreadyExists);
    EXPECT_EQ(ReadFileBytes(home.Path("taken")), "keep me");
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
    const std::intptr_t fd = a.Get();
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

TEST_F(FileHandleTest, KnowsWhetherAPathStillNamesItsFile) {
    WriteFileBytes(home.Path("f"), "old");
    WriteFileBytes(home.Path("g"), "new");
    CFileHandle file;
    ASSERT_EQ(file.OpenForRead(home.Path("f")), FileError::None);
    EXPECT_TRUE(file.IsSameFileAs(home.Path("f")));
    EXPECT_FALSE(file.IsSameFileAs(home.Path("g")));
    EXPECT_FALSE(file.IsSameFileAs(home.Path("missing")));
    CFileHandle closed;
    EXPECT_FALSE(closed.IsSameFileAs(home.Path("f")));
}

using FileSystemTest = TempHomeTest;

std::size_t EntriesIn(const std::string& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++n;
    }
    return n;
}

TEST_F(FileSystemTest, CopyReplacesTheTargetWithItsBytesAndLeavesNothingElse) {
    const std::string folder = home.Path("work");
    ASSERT_EQ(MakeDirectory(folder), FileError::None);
    std::string bytes(700 * 1024, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    WriteFileBytes(folder + "/src", bytes);
    WriteFileBytes(folder + "/dst", "older and different");

    ASSERT_EQ(CopyFileReplace(folder + "/src", folder + "/dst"), FileError::None);
    EXPECT_EQ(ReadFileBytes(folder + "/dst"), bytes);
    EXPECT_EQ(EntriesIn(folder), 2u);  // no temporary copy left behind
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
    const FileError deeper = MakeDirectory(home.Path("x/y"));  // one level only
    EXPECT_TRUE(deeper == FileError::NotFound || deeper == FileError::PathNotFound)
        << FileErrorText(deeper);
    EXPECT_TRUE(PathExists(home.Path("one")));

    EXPECT_EQ(FileSizeOf(home.Path("missing")), -1);
    WriteFileBytes(home.Path("five"), "12345");
    EXPECT_EQ(FileSizeOf(home.Path("five")), 5);
}

TEST_F(FileSystemTest, CanonicalPathGivesOneNamePerFile) {
    ASSERT_EQ(MakeDirectory(home.Path("d")), FileError::None);
    WriteFileBytes(home.Path("d/f"), "x");
    const std::string canonical = CanonicalPath(home.Path("d/f"));
    EXPECT_TRUE(std::filesystem::path(canonical).is_absolute()) << canonical;
    EXPECT_EQ(CanonicalPath(home.Path("d/../d/./f")), canonical);
    // A file that does not exist yet still gets a stable name from its folder.
    EXPECT_EQ(CanonicalPath(home.Path("d/../d/new")),
              CanonicalPath(home.Path("d")) + PreferredPathSeparator() + "new");
    EXPECT_FALSE(PathExists(""));
    std::string resolved;
    ASSERT_EQ(ResolveFilePath(home.Path("d/f"), resolved), FileError::None);
    EXPECT_EQ(resolved, canonical);
    EXPECT_EQ(ResolveFilePath(home.Path("d/new"), resolved), FileError::NotFound);
    EXPECT_EQ(resolved, canonical);
    if (!MakeSymbolicLink(home.Path("d/f"), home.Path("link"))) {
        GTEST_SKIP() << "no symbolic links can be made here (Wine)";
    }
    EXPECT_EQ(CanonicalPath(home.Path("link")), canonical);
    // A dangling link exists as an entry.
    ASSERT_TRUE(MakeSymbolicLink(home.Path("nowhere"), home.Path("dangling")));
    EXPECT_TRUE(PathExists(home.Path("dangling")));

    // Resolving follows a chain of links to the file, and fails where the chain leads nowhere.
    ASSERT_TRUE(MakeSymbolicLink("link", home.Path("link2")));
    ASSERT_EQ(ResolveFilePath(home.Path("link2"), resolved), FileError::None);
    EXPECT_EQ(resolved, canonical);
    EXPECT_EQ(ResolveFilePath(home.Path("dangling"), resolved), FileError::NotFound);
    EXPECT_EQ(resolved, canonical);
}

TEST(LocalTimeTest, IsTheClockInTheLocalZone) {
    const std::time_t before = std::time(nullptr);
    const LocalTime now = LocalTimeNow();
    const std::time_t after = std::time(nullptr);
    bool matched = false;
    for (std::time_t t = before; t <= after; ++t) {
        const std::tm local = *std::localtime(&t);
        matched = matched || (now.year == local.tm_year + 1900 && now.month == local.tm_mon + 1 &&
                              now.day == local.tm_mday && now.hour == local.tm_hour &&
                              now.minute == local.tm_min && now.second == local.tm_sec);
    }
    EXPECT_TRUE(matched) << now.year << "-" << now.month << "-" << now.day << " " << now.hour << ":"
                         << now.minute << ":" << now.second;
}

}  // namespace

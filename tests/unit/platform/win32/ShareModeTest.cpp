// Windows share modes as the file handle's locks, seen by another opener using CreateFileA
// directly, as another program would: what a played file, a file being replaced and a file that
// is only read let others do.
#include <windows.h>

#include <string>

#include "TempHome.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"

namespace {

class ShareModeTest : public TempHomeTest {
  protected:
    // Whether another program could open the file with this access (sharing everything itself).
    static bool OthersCanOpen(const std::string& path, DWORD access) {
        const HANDLE handle = CreateFileA(path.c_str(), access,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << path;
            return false;
        }
        CloseHandle(handle);
        return true;
    }
};

TEST_F(ShareModeTest, AFileOnlyReadLetsOthersDoAnything) {
    const std::string path = home.Path("list.txt");
    WriteFileBytes(path, "lines\n");
    CFileHandle reader;
    ASSERT_EQ(reader.OpenForRead(path), FileError::None);
    EXPECT_TRUE(OthersCanOpen(path, GENERIC_READ));
    EXPECT_TRUE(OthersCanOpen(path, GENERIC_WRITE));
    EXPECT_TRUE(OthersCanOpen(path, DELETE));
}

TEST_F(ShareModeTest, APlayedFileCanBeReadByOthersButNotChangedOrDeleted) {
    const std::string path = home.Path("playing.txt");
    WriteFileBytes(path, "lines\n");
    CFileHandle player;
    ASSERT_EQ(player.OpenForRead(path), FileError::None);
    ASSERT_EQ(player.LockShared(), FileError::None);
    EXPECT_TRUE(OthersCanOpen(path, GENERIC_READ));
    EXPECT_FALSE(OthersCanOpen(path, GENERIC_WRITE));
    EXPECT_FALSE(OthersCanOpen(path, DELETE));
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    // A replacement is refused and leaves the played file as it was.
    WriteFileBytes(home.Path("new.txt"), "other\n");
    EXPECT_NE(RenameReplace(home.Path("new.txt"), path), FileError::None);
    EXPECT_EQ(ReadFileBytes(path), "lines\n");
    // The lock kept the read position and the file stays readable through it.
    char buffer[16] = {};
    EXPECT_EQ(player.Read(buffer, sizeof buffer).bytes, 6u);
    player.Unlock();
    EXPECT_TRUE(OthersCanOpen(path, GENERIC_WRITE));
}

TEST_F(ShareModeTest, AFileBeingChangedCanOnlyBeRead) {
    const std::string path = home.Path("converting.log");
    WriteFileBytes(path, "[stamp]\n");
    CFileHandle changer;
    ASSERT_EQ(changer.OpenForRead(path), FileError::None);
    ASSERT_EQ(changer.LockExclusiveNoWait(), FileError::None);
    EXPECT_TRUE(OthersCanOpen(path, GENERIC_READ));
    EXPECT_FALSE(OthersCanOpen(path, GENERIC_WRITE));
    // Neither a player nor a second change gets in.
    CFileHandle player;
    ASSERT_EQ(player.OpenForRead(path), FileError::None);
    EXPECT_EQ(player.LockShared(), FileError::SharingViolation);
    CFileHandle second;
    ASSERT_EQ(second.OpenForRead(path), FileError::None);
    EXPECT_EQ(second.LockExclusiveNoWait(), FileError::SharingViolation);
}

TEST_F(ShareModeTest, AFileOpenAnywhereCannotBeReplacedButAClosedOneCan) {
    const std::string path = home.Path("data.txt");
    WriteFileBytes(path, "old");
    WriteFileBytes(home.Path("new.txt"), "new");
    {
        CFileHandle reader;
        ASSERT_EQ(reader.OpenForRead(path), FileError::None);
        EXPECT_EQ(RenameReplace(home.Path("new.txt"), path), FileError::AccessDenied);
        EXPECT_EQ(ReadFileBytes(path), "old");
    }
    EXPECT_EQ(RenameReplace(home.Path("new.txt"), path), FileError::None);
    EXPECT_EQ(ReadFileBytes(path), "new");
    EXPECT_FALSE(PathExists(home.Path("new.txt")));
}

}  // namespace

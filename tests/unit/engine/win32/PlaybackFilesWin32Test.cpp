// Windows keeps a file that is being played from being changed: another program can read it, but
// not truncate or delete it, and the run plays it whole.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "../PlaybackFixture.h"
#include "../RecordingHosts.h"
#include "LoopbackServer.h"
#include "NumberedLines.h"
#include "TempHome.h"
#include "engine/OutputPlayback.h"

using namespace std::chrono_literals;

namespace {

class PlaybackFilesWin32Test : public PlaybackFixture {};

}  // namespace

TEST_F(PlaybackFilesWin32Test, OthersCanReadButNotTruncateOrDeleteAFileWhilePlaying) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 1, false));
    const std::string path = WriteDataFile("playing.txt", NumberedLines(10));
    bool bTried = false;
    bool bRead = false;
    bool bWritten = false;
    bool bDeleted = false;
    host->SetOnLine([&](int index) {
        if (index != 4 || bTried) {
            return;
        }
        bTried = true;
        const DWORD everything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        const HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, everything, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        bRead = reader != INVALID_HANDLE_VALUE;
        if (bRead) {
            CloseHandle(reader);
        }
        const HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, everything, nullptr,
                                          TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        bWritten = writer != INVALID_HANDLE_VALUE;
        if (bWritten) {
            CloseHandle(writer);
        }
        bDeleted = DeleteFileA(path.c_str()) != 0;
    });

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    ASSERT_TRUE(host->WaitForEnded(1, 60s));
    ASSERT_TRUE(server.WaitForClosed(1));
    EXPECT_TRUE(bTried);
    EXPECT_TRUE(bRead);
    EXPECT_FALSE(bWritten);
    EXPECT_FALSE(bDeleted);
    EXPECT_EQ(server.Received(), NumberedLines(10));
    EXPECT_EQ(ReadFileBytes(path), NumberedLines(10));
}

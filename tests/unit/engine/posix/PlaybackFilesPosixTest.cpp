// Linux lets anyone truncate or delete a file while it plays (the lock is advisory): the run
// sends what it read, in order, and goes on with what it has open.
#include <gtest/gtest.h>
#include <unistd.h>

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

class PlaybackFilesPosixTest : public PlaybackFixture {};

}  // namespace

TEST_F(PlaybackFilesPosixTest, AFileTruncatedWhilePlayingSendsWhatWasReadInOrderAndEnds) {
    // Larger than what the reader holds at once, so the truncation is met part-way.
    constexpr int kLines = 40000;
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 0, false));
    const std::string path = WriteDataFile("big.txt", NumberedLines(kLines));
    host->SetOnLine([&path](int index) {
        if (index == 100) {
            ASSERT_EQ(::truncate(path.c_str(), 1000 * 11), 0);
        }
    });

    ASSERT_NE(playback->Start({path, false, kLines}), 0u);
    ASSERT_TRUE(host->WaitForEnded(1, 60s));
    ASSERT_TRUE(server.WaitForClosed(1));
    // What was sent is the file from its start as it was read: whole lines in order, and at most
    // one last line cut where the file now ends short of what had been read.
    const std::string original = NumberedLines(kLines);
    std::string received = server.Received();
    ASSERT_FALSE(received.empty());
    ASSERT_EQ(received.back(), '\n');
    const std::size_t lastStart = received.rfind('\n', received.size() - 2) + 1;
    const std::string last = received.substr(lastStart);
    received.resize(lastStart);
    EXPECT_EQ(received, original.substr(0, received.size()));
    EXPECT_EQ(received.size() % 11, 0u);
    EXPECT_EQ(original.compare(received.size(), last.size() - 1, last, 0, last.size() - 1), 0)
        << "last line: " << last;
    const std::size_t lines = received.size() / 11 + 1;
    EXPECT_GT(lines, 100u);
    EXPECT_LT(lines, static_cast<std::size_t>(kLines)) << "the truncation was not seen";
    std::printf("[ figures  ] truncated at line 100 of %d: %zu lines sent\n", kLines, lines);
}

TEST_F(PlaybackFilesPosixTest, ALoopingFileTruncatedWhilePlayingGoesOnWithWhatIsLeft) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 1, true));
    const std::string path = WriteDataFile("loop.txt", NumberedLines(10));
    bool done = false;
    host->SetOnLine([&path, &done](int index) {
        if (index == 5 && !done) {
            done = true;
            ASSERT_EQ(::truncate(path.c_str(), 3 * 11), 0);
        }
    });

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    // The pass under way ends as it was read; every pass after it holds the three lines left.
    const std::string expected = NumberedLines(10) + NumberedLines(3) + NumberedLines(3);
    ASSERT_TRUE(server.WaitForBytes(expected.size()));
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(30s));
    EXPECT_EQ(server.Received().substr(0, expected.size()), expected);
}

TEST_F(PlaybackFilesPosixTest, AFileDeletedWhilePlayingPlaysOnFromWhatWasOpened) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 1, true));
    const std::string path = WriteDataFile("gone.txt", NumberedLines(10));
    host->SetOnLine([&path](int index) {
        if (index == 4) {
            ::unlink(path.c_str());
        }
    });

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    const std::string threePasses = NumberedLines(10) + NumberedLines(10) + NumberedLines(10);
    ASSERT_TRUE(server.WaitForBytes(threePasses.size()));
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(30s));
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(server.Received().substr(0, threePasses.size()), threePasses);
    EXPECT_EQ(host->Ended().size(), 1u);
}

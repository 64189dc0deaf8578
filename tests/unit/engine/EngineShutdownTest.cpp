// The program's end with an engine that does not end: the wait for it has a real limit, and the
// program then ends at once instead of destroying what the engine still uses.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "LoopbackServer.h"
#include "PlaybackFixture.h"
#include "engine/EngineShutdown.h"

using namespace std::chrono_literals;

namespace {

class EngineShutdownTest : public PlaybackFixture {
  protected:
    void SetUp() override {
        // The program's end is checked in a fresh process that repeats the test up to it.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }

    // Plays to a UDP receiver (nothing to connect) with the host stuck in its first line notice
    // until Release(), as a run stuck in a call that never returns would be.
    void StartStuckRun() {
        OptionRecord options = TcpOptions(receiver.Port());
        options.outputInterface = kInterfaceUdpClient;
        MakePlayback(options);
        host->SetOnLine([this](int) {
            std::unique_lock lock(m_mutex);
            m_bStuck = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_bReleased; });
        });
        ASSERT_NE(playback->Start({WriteDataFile("receipt.txt", "A\nB\n"), false, 2}), 0u);
        std::unique_lock lock(m_mutex);
        ASSERT_TRUE(m_changed.wait_for(lock, 10s, [this] { return m_bStuck; }));
    }

    void Release() {
        std::lock_guard lock(m_mutex);
        m_bReleased = true;
        m_changed.notify_all();
    }

    void TearDown() override {
        Release();
        PlaybackFixture::TearDown();
    }

    bool WaitForPlayback(CEngineShutdown& shutdown) {
        return shutdown.WaitForEngine("playback", [this](std::chrono::milliseconds limit) {
            return playback->WaitUntilEnded(limit);
        });
    }

    LoopbackUdpReceiver receiver;

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bStuck = false;
    bool m_bReleased = false;
};

}  // namespace

TEST_F(EngineShutdownTest, AnEngineThatEndsIsWaitedForAndTheProgramGoesOn) {
    StartStuckRun();
    Release();
    playback->RequestStop();
    CEngineShutdown shutdown(10s);
    EXPECT_TRUE(WaitForPlayback(shutdown));
    EXPECT_TRUE(shutdown.AllEnded());
    EXPECT_FALSE(playback->IsRunning());
}

TEST_F(EngineShutdownTest, AStuckEngineIsWaitedForOnlyUpToTheLimitThenTheProgramEndsAtOnce) {
    StartStuckRun();
    playback->RequestStop();
    CEngineShutdown shutdown(200ms);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(WaitForPlayback(shutdown));
    const auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_GE(waited, 200ms);
    EXPECT_LT(waited, 10s) << "the wait had no limit";
    EXPECT_FALSE(shutdown.AllEnded());
    EXPECT_TRUE(playback->IsRunning());

    // What the window's end does then: destroying the playback would wait for the stuck run for
    // ever, so the program ends first, with the code it was given.
    EXPECT_EXIT(
        {
            if (!shutdown.AllEnded()) {
                CEngineShutdown::EndProgramNow(3);
            }
            playback.reset();
            std::exit(0);
        },
        ::testing::ExitedWithCode(3), "");
}

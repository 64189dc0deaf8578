// The serial channel when the system refuses the receive thread its wake-up event.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "HangupPty.h"
#include "PtyPair.h"
#include "RecordingMessageSink.h"
#include "TempHome.h"
#include "WaitUntil.h"
#include "transport/CommThread.h"

using namespace std::chrono_literals;
using Message = RecordingMessageSink::Message;

namespace {

class CommThreadPosixTest : public TempHomeTest {
  protected:
    void SetUp() override { pty.LinkAsComPort(3); }

    PtyPair pty;
    RecordingMessageSink sink;
};

}  // namespace

namespace {
int HighestOpenDescriptor() {
    int highest = -1;
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) {
        return -1;
    }
    const int own = ::dirfd(folder);
    while (const dirent* entry = ::readdir(folder)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && fd != own && fd > highest) {
            highest = fd;
        }
    }
    ::closedir(folder);
    return highest;
}
}  // namespace

TEST_F(CommThreadPosixTest, ReceiveThreadThatCannotWatchTellsTheUser) {
    // One receive run and one message first, so that whatever their first use sets up once
    // (the checking tools of a sanitizer build among it) is in place before descriptors run short.
    {
        RecordingMessageSink warmUpSink;
        CCommThread warmUp(&warmUpSink);
        ASSERT_TRUE(warmUp.OpenPort("COM3", COMM_MODE_READ));
        warmUp.ClosePort();
        std::filesystem::create_symlink(home.Path("unplugged"),
                                        home.SettingsFolder() + "/ports/COM9");
        ASSERT_FALSE(warmUp.OpenPort("COM9", COMM_MODE_READ));
        ASSERT_EQ(warmUpSink.Messages().size(), 1U);
    }
    // Leave exactly the two descriptors that opening the port takes, so that the receive
    // thread's own wake-up event is the first thing the system refuses.
    std::vector<int> fillers;
    const int highest = HighestOpenDescriptor();
    ASSERT_GE(highest, 0);
    for (;;) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        if (fd > highest) {
            ::close(fd);
            break;
        }
        fillers.push_back(fd);
    }
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(highest) + 3;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);

    CCommThread channel(&sink);
    const bool opened = channel.OpenPort("COM3", COMM_MODE_READ);
    const bool ended = WaitUntil([&] { return !channel.HasChannelThread(); });
    ::setrlimit(RLIMIT_NOFILE, &saved);
    for (const int fd : fillers) {
        ::close(fd);
    }

    EXPECT_TRUE(opened);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(channel.IsOpen());
    const std::vector<Message> expected = {
        {"Error while creating ThreadWatchComm, COM3", "Tillstream"}};
    EXPECT_EQ(sink.Messages(), expected);
    // Nothing is received; the port stays held until ClosePort.
    pty.WriteToMaster("lost");
    std::string chunk;
    channel.TakeReceived(chunk);
    EXPECT_EQ(chunk, "");
    EXPECT_FALSE(ProbeComPort("COM3"));
    channel.ClosePort();
    EXPECT_TRUE(ProbeComPort("COM3"));
}

TEST_F(CommThreadPosixTest, APulledAdapterIsAnOpenErrorOfItsOwn) {
    // An adapter pulled while another program had it open lingers and fails with an I/O error,
    // whose number is the access-denied code's: it must not read "already used".
    HangupPty pulled;
    std::filesystem::create_symlink(pulled.HoldSlaveOpen(), home.SettingsFolder() + "/ports/COM4");
    pulled.Hangup();
    CCommThread channel(&sink);
    EXPECT_FALSE(channel.OpenPort("COM4", COMM_MODE_WRITE));
    EXPECT_FALSE(channel.HasChannelThread());
    const std::vector<Message> expected = {
        {"Serial Port(COM4) open error(0x20000005)", "Slipwarden"}};
    EXPECT_EQ(sink.Messages(), expected);
}

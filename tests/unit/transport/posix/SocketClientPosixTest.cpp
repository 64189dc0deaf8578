// The socket client when the system has no descriptor left for a socket.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "LoopbackServer.h"
#include "transport/SocketClient.h"

namespace {
int g_window = 0;  // stands in for the window handle given to Connect
void* const kWindow = &g_window;

class SocketClientPosixTrace : public ::testing::Test {
  protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        ::setenv("TILLSTREAM_TRACE", "1", 1);
    }
    void TearDown() override { ::unsetenv("TILLSTREAM_TRACE"); }
};
}  // namespace

TEST_F(SocketClientPosixTrace, NoSocketGivesMinusThree) {
    EXPECT_EXIT(
        {
            CSocketClient client;
            rlimit none{};  // no descriptor may be added
            ::setrlimit(RLIMIT_NOFILE, &none);
            // _exit: without descriptors even the sanitizers' clean-up checks would fail.
            ::_exit(-client.Connect(kWindow, kLoopbackAddress, 9));
        },
        ::testing::ExitedWithCode(3),
        R"(\[CTCPClient::ConnectServ\] ERROR - Can't create socket\(10024\))");
}

// The receiver's sockets on loopback: every wait and connect ends with the code of what ended
// it, and a cancel event ends it at once, whether it is set meanwhile from another thread or was
// set before.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "LoopbackServer.h"
#include "platform/ReceiveSocket.h"
#include "platform/WakeEvent.h"

using namespace std::chrono_literals;

TEST(ReceiveSocketTest, WaitsAndConnectsEndWithWhatEndedThem) {
    CReceiveSocket listener;
    ASSERT_EQ(listener.ListenTcp(kLoopbackAddress, 0), SocketError::kNone);
    const std::uint16_t port = listener.LocalPort();
    CWakeEvent cancel;
    ASSERT_FALSE(cancel.Create().Failed());
    CReceiveSocket connection;
    std::string peer;
    EXPECT_EQ(listener.Accept(connection, peer), SocketError::kWouldBlock) << "none waiting";
    EXPECT_EQ(listener.WaitReadable(cancel, 20ms), SocketError::kTimedOut);

    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        cancel.Set();
    });
    EXPECT_EQ(listener.WaitReadable(cancel), SocketError::kInterrupted);
    setter.join();
    CReceiveSocket device;
    EXPECT_EQ(device.ConnectTcp(kLoopbackAddress, port, 10s, cancel), SocketError::kInterrupted);
    EXPECT_FALSE(device.IsOpen());

    cancel.Reset();
    EXPECT_EQ(listener.WaitReadable(cancel, 0ms), SocketError::kTimedOut)
        << "the cancelled connect reached nobody";
    ASSERT_EQ(device.ConnectTcp(kLoopbackAddress, port, 10s, cancel), SocketError::kNone);
    EXPECT_EQ(listener.WaitReadable(cancel, 10s), SocketError::kNone);
    ASSERT_EQ(listener.Accept(connection, peer), SocketError::kNone);
    EXPECT_EQ(peer, "127.0.0.1:" + std::to_string(device.LocalPort()));
    device.Close();
    EXPECT_EQ(connection.WaitReadable(cancel, 10s), SocketError::kNone) << "the peer's close";
    char buffer[16];
    SocketError error = SocketError::kOther;
    EXPECT_EQ(connection.Receive(buffer, sizeof buffer, &error), 0);
    EXPECT_EQ(error, SocketError::kNone);

    listener.Close();
    EXPECT_EQ(listener.WaitReadable(cancel, 0ms), SocketError::kBadSocket);
    EXPECT_EQ(device.ConnectTcp(kLoopbackAddress, port, 10s, cancel),
              SocketError::kConnectionRefused);
}

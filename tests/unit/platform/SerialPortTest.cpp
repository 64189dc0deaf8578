// The serial port and wake-up event of the platform layer on real pseudo-terminals.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "HangupPty.h"
#include "PtyPair.h"
#include "TempHome.h"
#include "WaitUntil.h"
#include "platform/SerialPort.h"
#include "platform/UserFolders.h"
#include "platform/WakeEvent.h"

using namespace std::chrono_literals;

TEST(WakeEvent, StaysSetUntilResetAndEndsAWaitFromAnotherThread) {
    CWakeEvent event;
    EXPECT_FALSE(event.IsSet());  // not created: never set
    ASSERT_FALSE(event.Create().Failed());
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(10));
    event.Set();
    event.Set();
    EXPECT_TRUE(event.Wait(-1));
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.IsSet());

    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        event.Set();
    });
    EXPECT_TRUE(event.Wait(-1));
    setter.join();
    event.Close();
    EXPECT_FALSE(event.IsCreated());
}

class SerialPortTest : public TempHomeTest {};

TEST_F(SerialPortTest, OpenIsExclusiveAndReportsTheProgramsCodes) {
    PtyPair pty;
    CSerialPort first;
    ASSERT_EQ(first.Open(pty.SlavePath()), 0U);
    EXPECT_TRUE(first.IsOpen());
    CSerialPort second;
    if (PtyPair::OpensAreExclusive()) {
        EXPECT_EQ(second.Open(pty.SlavePath()), kSerialErrorAccessDenied);
        EXPECT_FALSE(second.IsOpen());
    }
    first.Close();
    first.Close();
    EXPECT_FALSE(first.IsOpen());
    EXPECT_EQ(second.Open(pty.SlavePath()), 0U);
    second.Close();

    EXPECT_EQ(second.Open(home.Path("absent")), kSerialErrorFileNotFound);
    EXPECT_EQ(second.Open(""), kSerialErrorFileNotFound);
    // Something that is not a terminal is no serial port.
    WriteFileBytes(home.Path("plain"), "data");
    const uint32_t code = second.Open(home.Path("plain"));
    EXPECT_NE(code, 0U);
    EXPECT_NE(code, kSerialErrorAccessDenied);
    EXPECT_FALSE(second.IsOpen());
    // A closed port has no settings: the system's own error, none of the program's three codes.
    EXPECT_NE(second.Configure({}) & kSerialErrorSystem, 0U);
}

TEST_F(SerialPortTest, ReadsReturnAtOnceAndPurgeDropsWhatWasHeld) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_EQ(port.Open(pty.SlavePath()), 0U);
    ASSERT_EQ(port.Configure({}), 0U);
    char buffer[64];
    EXPECT_EQ(port.InputCount(), 0U);
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0U);

    pty.WriteToMaster("abcdef");
    ASSERT_TRUE(WaitUntil([&] { return port.InputCount() == 6; }));
    EXPECT_EQ(port.Read(buffer, 4), 4U);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    port.Purge();
    EXPECT_EQ(port.InputCount(), 0U);
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0U);
}

TEST_F(SerialPortTest, WaitForDataEndsOnDataOnWakeAndOnHangUp) {
    auto pty = std::make_unique<PtyPair>();
    CSerialPort port;
    ASSERT_EQ(port.Open(pty->SlavePath()), 0U);
    ASSERT_EQ(port.Configure({}), 0U);
    CWakeEvent wake;
    ASSERT_FALSE(wake.Create().Failed());

    std::thread waker([&] {
        std::this_thread::sleep_for(20ms);
        wake.Set();
    });
    EXPECT_EQ(port.WaitForData(wake), SerialWaitResult::kWoken);
    waker.join();
    wake.Reset();

    pty->WriteToMaster("x");
    EXPECT_EQ(port.WaitForData(wake), SerialWaitResult::kDataReady);
    port.Purge();

    // The far end goes away for good (the test's own slave descriptor goes with it).
    pty.reset();
    EXPECT_EQ(port.WaitForData(wake), SerialWaitResult::kHangUp);
}

TEST_F(SerialPortTest, StalledWriteEndsAtItsDeadlineOrWhenCancelled) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_EQ(port.Open(pty.SlavePath()), 0U);
    ASSERT_EQ(port.Configure({}), 0U);
    CWakeEvent cancel;
    ASSERT_FALSE(cancel.Create().Failed());
    // Far more than a pseudo-terminal holds while nobody reads its far end.
    const std::string more(1024 * 1024, 'm');
    EXPECT_LT(port.Write(more.data(), more.size(), 20, cancel), more.size());

    // No time limit: only the cancel event ends it.
    size_t written = more.size();
    std::thread writer([&] { written = port.Write(more.data(), more.size(), 0, cancel); });
    std::this_thread::sleep_for(20ms);
    cancel.Set();
    writer.join();
    EXPECT_LT(written, more.size());

    // Once the far end reads, writing goes on.
    cancel.Reset();
    pty.DrainMaster(50ms);
    EXPECT_EQ(port.Write("ok", 2, 0, cancel), 2U);
}

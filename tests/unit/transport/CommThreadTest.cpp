// The serial channel against real pseudo-terminals linked as COM ports: what the far end of the
// line sees and sends, what the user is shown, and what the engine gets back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
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

// Takes chunks until `count` bytes have come (or a generous time has passed).
std::vector<std::string> TakeChunks(CCommThread& channel, size_t count) {
    std::vector<std::string> chunks;
    size_t total = 0;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (total < count && std::chrono::steady_clock::now() < deadline) {
        std::string chunk;
        channel.TakeReceived(chunk);
        if (chunk.empty()) {
            std::this_thread::sleep_for(1ms);
            continue;
        }
        total += chunk.size();
        chunks.push_back(std::move(chunk));
    }
    return chunks;
}

std::string Joined(const std::vector<std::string>& chunks) {
    std::string all;
    for (const std::string& chunk : chunks) {
        all += chunk;
    }
    return all;
}

class CommThreadTest : public TempHomeTest {
  protected:
    void SetUp() override { pty.LinkAsComPort(3); }

    PtyPair pty;
    RecordingMessageSink sink;
};

}  // namespace

TEST(CommWriteMultiplier, IsMillisecondsPerByteAndNeverDividesByZero) {
    EXPECT_EQ(CommWriteMultiplier(9600), 2U);
    EXPECT_EQ(CommWriteMultiplier(4800), 4U);
    EXPECT_EQ(CommWriteMultiplier(110), 174U);
    EXPECT_EQ(CommWriteMultiplier(14400), 1U);
    EXPECT_EQ(CommWriteMultiplier(19200), 1U);
    EXPECT_EQ(CommWriteMultiplier(38400), 0U);
    EXPECT_EQ(CommWriteMultiplier(256000), 0U);
    EXPECT_EQ(CommWriteMultiplier(0), 0U);
}

TEST_F(CommThreadTest, EveryOfferedBaudRateReachesTheDevice) {
    const uint32_t rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                              19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (const uint32_t rate : rates) {
        SCOPED_TRACE(rate);
        if (!pty.CarriesSpeed(rate)) {
            std::printf("[ skipped  ] %u baud: this line cannot hold that speed (Wine)\n", rate);
            continue;
        }
        CCommThread channel(&sink);
        channel.SetLineSettings(rate, 0, 8, 0);
        ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_WRITE));
        const PtyPair::LineState state = pty.ReadLineState();
        EXPECT_EQ(state.outputSpeed, rate);
        EXPECT_EQ(state.inputSpeed, rate);
        channel.ClosePort();
    }
    // Rates that the driver has no constant for are given to it as numbers.
    for (const uint32_t rate : {14400U, 56000U, 128000U, 256000U}) {
        CCommThread channel(&sink);
        channel.SetLineSettings(rate, 0, 8, 0);
        ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_READ));
        const PtyPair::LineState state = pty.ReadLineState();
        if (state.terminalModesVisible) {
            EXPECT_TRUE(state.speedByNumber) << rate;
        }
    }
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(CommThreadTest, LineIsRawWithoutSoftwareFlowControl) {
    CCommThread channel(&sink);
    channel.SetLineSettings(9600, 0, 8, 0);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_WRITE));
    const PtyPair::LineState state = pty.ReadLineState();
    EXPECT_FALSE(state.softwareFlowOut);
    EXPECT_FALSE(state.softwareFlowIn);
    EXPECT_EQ(state.startChar, 17);
    EXPECT_EQ(state.stopChar, 19);
    if (state.terminalModesVisible) {
        EXPECT_FALSE(state.canonical);
        EXPECT_FALSE(state.echo);
        EXPECT_FALSE(state.signals);
        EXPECT_FALSE(state.outputProcessing);
        EXPECT_FALSE(state.crToNl);
        EXPECT_EQ(state.minChars, 0);
        EXPECT_EQ(state.readTime, 0);
        EXPECT_TRUE(state.receiverOn);
        EXPECT_TRUE(state.ignoresModemLines);
    }

    // Line ends, control characters, flow-control characters, NUL and high bytes arrive as sent.
    const std::string bytes("line\r\nnext\n\x03\x11\x13\x00\x7f\xff", 16);
    channel.QueueSend(bytes);
    EXPECT_EQ(pty.ReadFromMaster(bytes.size()), bytes);
}

// A pseudo-terminal keeps the parity sense (odd, mark/space) and the stop bits it is given, but
// always reports 8 data bits and parity off: those two cannot be seen from here.
TEST_F(CommThreadTest, ParityKindAndStopBitsReachTheDevice) {
    struct Case {
        int parity, dataBits, stopBits;
        bool odd, stick, longStop;
    };
    const Case cases[] = {
        {0, 8, 0, false, false, false},  // NONE, 8, 1
        {1, 7, 0, true, false, false},   // ODD
        {2, 7, 2, false, false, true},   // EVEN, 2 stop bits
        {3, 8, 0, true, true, false},    // MARK: stick parity, bit always 1
        {4, 6, 2, false, true, true},    // SPACE: stick parity, bit always 0
        {0, 5, 1, false, false, true},   // 5 data bits with 1.5 stop bits
        {1, 5, 0, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.parity << "/" << c.dataBits << "/" << c.stopBits);
        CCommThread channel(&sink);
        channel.SetLineSettings(19200, c.parity, c.dataBits, c.stopBits);
        ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_READ));
        EXPECT_TRUE(channel.HasChannelThread());
        const PtyPair::LineState state = pty.ReadLineState();
        if (state.paritySenseVisible) {
            EXPECT_EQ(state.parityOdd, c.odd);
            EXPECT_EQ(state.parityStick, c.stick);
        }
        EXPECT_EQ(state.longStop, c.longStop);
    }
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(CommThreadTest, HardwareFlowControlIsLeftAsTheDriverHasIt) {
    for (const bool on : {true, false}) {
        pty.SetHardwareFlowControl(on);
        CCommThread channel(&sink);
        ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_READ));
        EXPECT_EQ(pty.ReadLineState().hardwareFlowControl, on);
    }
}

TEST_F(CommThreadTest, OnlyTheLowByteOfEachSettingCounts) {
    CCommThread channel(&sink);
    // Data bits 0x105 keep 5, stop bits 0x201 keep 1 (1.5): accepted together. Were the whole
    // numbers compared, both would be refused.
    channel.SetLineSettings(9600, 0x100 + 3, 0x100 + 5, 0x200 + 1);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_READ));
    const PtyPair::LineState state = pty.ReadLineState();
    if (state.paritySenseVisible) {
        EXPECT_TRUE(state.parityStick);
        EXPECT_TRUE(state.parityOdd);
    }
    EXPECT_TRUE(state.longStop);
}

TEST_F(CommThreadTest, RefusedSettingsLeaveThePortOpenWithoutThreadOrMessage) {
    struct Case {
        uint32_t baud;
        int parity, dataBits, stopBits;
    };
    const Case refused[] = {
        {9600, 0, 4, 0},  // too few data bits
        {9600, 0, 9, 0},  // too many
        {9600, 0, 8, 1},  // 1.5 stop bits need 5 data bits
        {9600, 0, 5, 2},  // 2 stop bits cannot go with 5 data bits
        {9600, 5, 8, 0},  // no such parity
        {9600, 0, 8, 3},  // no such stop-bit code
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(testing::Message()
                     << c.baud << "/" << c.parity << "/" << c.dataBits << "/" << c.stopBits);
        CCommThread channel(&sink);
        channel.SetLineSettings(c.baud, c.parity, c.dataBits, c.stopBits);
        EXPECT_FALSE(channel.OpenPort("COM3", COMM_MODE_WRITE));
        EXPECT_TRUE(channel.IsOpen());
        EXPECT_FALSE(channel.HasChannelThread());
        // The port is still held until ClosePort.
        if (PtyPair::OpensAreExclusive()) {
            EXPECT_FALSE(ProbeComPort("COM3"));
        }
        channel.ClosePort();
        EXPECT_FALSE(channel.IsOpen());
        EXPECT_TRUE(ProbeComPort("COM3"));
    }
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(CommThreadTest, BaudRateZeroKeepsTheLineSpeedAndWritesWithoutTimeLimit) {
    {
        CCommThread earlier(&sink);
        earlier.SetLineSettings(4800, 0, 8, 0);
        ASSERT_TRUE(earlier.OpenPort("COM3", COMM_MODE_READ));
    }
    CCommThread channel(&sink);
    channel.SetLineSettings(0, 4, 8, 0);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_WRITE));
    EXPECT_TRUE(channel.HasChannelThread());
    const PtyPair::LineState state = pty.ReadLineState();
    EXPECT_EQ(state.outputSpeed, 4800U);
    // The rest of the settings still apply.
    EXPECT_EQ(state.startChar, 17);
    if (state.paritySenseVisible) {
        EXPECT_TRUE(state.parityStick);
    }
    if (state.terminalModesVisible) {
        EXPECT_FALSE(state.echo);
    }
    channel.QueueSend("no speed given");
    EXPECT_EQ(pty.ReadFromMaster(14), "no speed given");
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(CommThreadTest, QueueSendWithoutThreadOnlyQueues) {
    {
        // Never opened: the strings stay queued and go with the channel.
        CCommThread channel(&sink);
        channel.QueueSend("never written");
        EXPECT_FALSE(channel.IsOpen());
    }
    CCommThread channel(&sink);
    channel.SetLineSettings(9600, 0, 9, 0);
    ASSERT_FALSE(channel.OpenPort("COM3", COMM_MODE_WRITE));
    channel.QueueSend("first;");
    channel.QueueSend("second;");
    EXPECT_EQ(pty.DrainMaster(200ms), "");

    // Still queued, in order: a send thread started later writes them.
    channel.ClosePort();
    channel.SetLineSettings(9600, 0, 8, 0);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_WRITE));
    EXPECT_EQ(pty.ReadFromMaster(13), "first;second;");
}

TEST_F(CommThreadTest, PortHeldByAnotherOpenerIsAlreadyUsed) {
    if (!PtyPair::OpensAreExclusive()) {
        GTEST_SKIP() << "Wine lets a second open of a COM port succeed, so \"already used by other "
                        "application\" shows on Windows itself only";
    }
    CCommThread holder(&sink);
    ASSERT_TRUE(holder.OpenPort("COM3", COMM_MODE_READ));
    EXPECT_FALSE(ProbeComPort("COM3"));

    CCommThread second(&sink);
    EXPECT_FALSE(second.OpenPort("COM3", COMM_MODE_WRITE));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_FALSE(second.HasChannelThread());
    holder.ClosePort();

    // Another program holding the device.
    pty.LinkAsComPort(2);
    ASSERT_TRUE(pty.HoldAsAnotherProgram());
    CCommThread third(&sink);
    EXPECT_FALSE(third.OpenPort("COM2", COMM_MODE_READ));
    EXPECT_FALSE(third.IsOpen());
    EXPECT_FALSE(third.HasChannelThread());
    EXPECT_FALSE(ProbeComPort("COM2"));
    pty.ReleaseHold();
    EXPECT_TRUE(ProbeComPort("COM2"));

    const std::vector<Message> expected = {
        {"Serial Port(COM3) is already used by other application.", "Slipwarden"},
        {"Serial Port(COM2) is already used by other application.", "Slipwarden"}};
    EXPECT_EQ(sink.Messages(), expected);
}

TEST_F(CommThreadTest, PortsThatCannotBeOpenedShowOpenErrorWithTheirCodes) {
    // An absent configured device must not fall back to another line.
    PtyPair::MakeComPortAbsent(7);
    PtyPair::MakeComPortAbsent(12);
    PtyPair::MakeComPortAbsent(0);
    CCommThread channel(&sink);
    EXPECT_FALSE(channel.OpenPort("COM7", COMM_MODE_WRITE));
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_FALSE(channel.OpenPort("\\\\.\\COM12", COMM_MODE_READ));
    // Port 0 has no device unless one is configured.
    EXPECT_FALSE(channel.OpenPort("COM0", COMM_MODE_READ));
    EXPECT_FALSE(channel.HasChannelThread());

    const std::vector<Message> expected = {
        {"Serial Port(COM7) open error(0x00000002)", "Slipwarden"},
        {"Serial Port(\\\\.\\COM12) open error(0x00000002)", "Slipwarden"},
        {"Serial Port(COM0) open error(0x00000002)", "Slipwarden"}};
    EXPECT_EQ(sink.Messages(), expected);

    // Without a sink the failure is only traced.
    CCommThread silent(nullptr);
    EXPECT_FALSE(silent.OpenPort("COM7", COMM_MODE_WRITE));
}

TEST_F(CommThreadTest, QueuedStringsArriveWholeAndInOrder) {
    CCommThread channel(&sink);
    channel.SetLineSettings(115200, 0, 8, 0);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_WRITE));
    EXPECT_TRUE(channel.HasChannelThread());
    channel.QueueSend("ONE 1.00\n");
    channel.QueueSend(std::string("TWO\0 2.00\n", 10));
    channel.QueueSend("THREE 3.00\n");
    const std::string expected = std::string("ONE 1.00\nTWO\0 2.00\nTHREE 3.00\n", 30);
    EXPECT_EQ(pty.ReadFromMaster(expected.size()), expected);
    // Nothing is added between or after them.
    EXPECT_EQ(pty.DrainMaster(100ms), "");

    // A long string goes out whole too, beyond what the driver takes in one go.
    std::string receipt;
    for (int i = 0; receipt.size() < 100000; ++i) {
        receipt += "ITEM " + std::to_string(i) + " 9.99\r\n";
    }
    channel.QueueSend(receipt);
    EXPECT_EQ(pty.ReadFromMaster(receipt.size()), receipt);
}

TEST_F(CommThreadTest, ReceivedChunksComeInOrderWithoutRepeats) {
    CCommThread channel(&sink);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_READ));
    std::string untouched = "untouched";
    channel.TakeReceived(untouched);
    EXPECT_EQ(untouched, "untouched");

    pty.WriteToMaster("HELLO");
    const std::vector<std::string> first = TakeChunks(channel, 5);
    EXPECT_EQ(Joined(first), "HELLO");
    pty.WriteToMaster("AB");
    const std::vector<std::string> second = TakeChunks(channel, 2);
    EXPECT_EQ(Joined(second), "AB");
    std::string left = "none";
    channel.TakeReceived(left);
    EXPECT_EQ(left, "none");

    // A burst bigger than one read comes as several chunks, none bigger than a read.
    std::string burst;
    for (int i = 0; burst.size() < 30000; ++i) {
        burst += static_cast<char>('a' + i % 26);
    }
    pty.WriteToMaster(burst);
    const std::vector<std::string> chunks = TakeChunks(channel, burst.size());
    EXPECT_EQ(Joined(chunks), burst);
    for (const std::string& chunk : chunks) {
        EXPECT_LE(chunk.size(), 8192U);
        EXPECT_FALSE(chunk.empty());
    }
}

TEST_F(CommThreadTest, NulBytesAreReceivedLikeAnyOther) {
    CCommThread channel(&sink);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_READ));
    pty.WriteToMaster(std::string("AB\0C", 4));
    EXPECT_EQ(Joined(TakeChunks(channel, 4)), std::string("AB\0C", 4));
    pty.WriteToMaster(std::string("\0\0X", 3));
    EXPECT_EQ(Joined(TakeChunks(channel, 3)), std::string("\0\0X", 3));
}

TEST_F(CommThreadTest, ClosePortEndsAStalledWriteAndDiscardsTheQueue) {
    CCommThread channel(&sink);
    // At this rate writes have no time limit: only ClosePort can end a stalled one.
    channel.SetLineSettings(115200, 0, 8, 0);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_WRITE));
    // Nobody reads the far end, so the line fills up and the write stalls.
    const std::string big(4 * 1024 * 1024, 'x');
    channel.QueueSend(big);
    channel.QueueSend("TAIL-MARKER");
    ASSERT_TRUE(pty.WaitForMasterData(10s));

    channel.ClosePort();
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_FALSE(channel.HasChannelThread());
    const std::string arrived = pty.DrainMaster(200ms);
    EXPECT_LT(arrived.size(), big.size());
    EXPECT_EQ(arrived.find("TAIL"), std::string::npos);

    // The discarded string does not come back with the next run.
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_WRITE));
    channel.QueueSend("fresh");
    EXPECT_EQ(pty.ReadFromMaster(5), "fresh");
}

TEST_F(CommThreadTest, WaitUntilSentReturnsOnceEverythingHasLeftThePort) {
    CCommThread channel(&sink);
    channel.SetLineSettings(115200, 0, 8, 0);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_WRITE));
    std::string text;
    for (int n = 0; n < 500; ++n) {
        text += "line " + std::to_string(n) + "\n";
        channel.QueueSend("line " + std::to_string(n) + "\n");
    }
    std::string arrived;
    std::thread reader([&] { arrived = pty.ReadFromMaster(text.size()); });
    std::stop_source never;
    EXPECT_TRUE(channel.WaitUntilSent(never.get_token()));
    channel.ClosePort();  // after a completed wait, closing loses nothing
    reader.join();
    EXPECT_EQ(arrived, text);
}

TEST_F(CommThreadTest, WaitUntilSentEndsAtAStopWhileTheLineIsStalled) {
    CCommThread channel(&sink);
    channel.SetLineSettings(115200, 0, 8, 0);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_WRITE));
    channel.QueueSend(std::string(4 * 1024 * 1024, 'x'));  // nobody reads: the write stalls
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(200ms);
        stop.request_stop();
    });
    EXPECT_FALSE(channel.WaitUntilSent(stop.get_token()));
    stopper.join();
    channel.ClosePort();
    EXPECT_FALSE(channel.HasChannelThread());
}

TEST_F(CommThreadTest, ClosePortEndsTheReceiveWaitAndDropsUntakenChunks) {
    CCommThread channel(&sink);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_READ));
    pty.WriteToMaster("first");
    EXPECT_EQ(Joined(TakeChunks(channel, 5)), "first");
    pty.WriteToMaster("not taken");
    channel.ClosePort();
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_FALSE(channel.HasChannelThread());
    std::string chunk = "unchanged";
    channel.TakeReceived(chunk);
    EXPECT_EQ(chunk, "unchanged");

    // Closing again, or a channel never opened, only clears the run flag.
    channel.ClosePort();
    CCommThread idle(&sink);
    idle.ClosePort();
    EXPECT_FALSE(idle.IsOpen());
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(CommThreadTest, DestroyingAnOpenChannelStopsItsThread) {
    for (const int mode : {COMM_MODE_WRITE, COMM_MODE_READ}) {
        auto channel = std::make_unique<CCommThread>(&sink);
        ASSERT_TRUE(channel->OpenPort("COM3", mode));
        channel->QueueSend("pending");
        pty.WriteToMaster("incoming");
        channel.reset();
        EXPECT_TRUE(ProbeComPort("COM3"));
    }
}

TEST_F(CommThreadTest, OpeningAnOpenChannelAgainStartsOver) {
    CCommThread channel(&sink);
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_READ));
    ASSERT_TRUE(channel.OpenPort("COM3", COMM_MODE_WRITE));
    channel.QueueSend("again");
    EXPECT_EQ(pty.ReadFromMaster(5), "again");
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_FALSE(channel.OpenPort("COM3", 0));  // not a mode
}

TEST_F(CommThreadTest, ProbeLeavesThePortFree) {
    PtyPair::MakeComPortAbsent(4);
    EXPECT_TRUE(ProbeComPort("COM3"));
    EXPECT_TRUE(ProbeComPort("COM3"));
    CCommThread channel(&sink);
    EXPECT_TRUE(channel.OpenPort("COM3", COMM_MODE_WRITE));
    channel.ClosePort();
    EXPECT_TRUE(ProbeComPort("COM3"));
    EXPECT_FALSE(ProbeComPort("COM4"));
    EXPECT_TRUE(sink.Messages().empty());
}

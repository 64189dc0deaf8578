// Playback against real receivers: a loopback TCP server, a loopback UDP receiver and a
// pseudo-terminal linked as a COM port. What the receiver gets, what the window would show, and
// how runs start, stop and end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackServer.h"
#include "PlaybackFixture.h"
#include "PtyPair.h"
#include "RecordingHosts.h"
#include "TempHome.h"
#include "datafile/FilesInPlay.h"
#include "engine/OutputPlayback.h"
#include "platform/FileSystem.h"
#include "transport/SocketClient.h"

using namespace std::chrono_literals;

namespace {

std::string TenLines() {
    std::string text;
    for (int n = 0; n < 10; ++n) {
        text += "line " + std::to_string(n) + "\n";
    }
    return text;
}

class PlaybackTest : public PlaybackFixture {};

}  // namespace

TEST_F(PlaybackTest, RawFileIsSentLineByLineWithProgressAndOneEndNotice) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port()));
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    const std::uint64_t runId = playback->Start({path, false, 10});
    ASSERT_NE(runId, 0u);
    ASSERT_TRUE(host->WaitForEnded(1));
    ASSERT_TRUE(playback->WaitUntilEnded(10s));

    ASSERT_TRUE(server.WaitForBytes(TenLines().size()));
    EXPECT_EQ(server.Received(), TenLines());
    EXPECT_EQ(host->LineIndexes(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(host->Delivered(), 10);
    EXPECT_EQ(host->Lost(), 0);
    EXPECT_EQ(host->Percents(), (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_EQ(host->Ended(), (std::vector<std::uint64_t>{runId}));
    EXPECT_EQ(host->Events().front(), "start");
    EXPECT_EQ(host->Events().back(), "ended");
    EXPECT_FALSE(playback->IsRunning());
    // The connection belongs to the run: closed at its end, the client kept for the next run.
    EXPECT_FALSE(socketClient.IsConnected());
    EXPECT_TRUE(server.WaitForClosed(1));
}

TEST_F(PlaybackTest, WithNoDelayTheHostIsToldLessOftenYetEndsWithTheLastLineAndExactTotals) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 0, true));
    // A host that wants to hear about lines only once an hour: what it must still be told.
    host->SetLineNoticeInterval(std::chrono::hours(1));
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    PlaybackRequest request{path, false, 10};
    request.lineLimit = 25;  // two passes and a half
    ASSERT_NE(playback->Start(request), 0u);
    ASSERT_TRUE(host->WaitForEnded(1));

    ASSERT_TRUE(server.WaitForBytes(2 * TenLines().size() + 35));
    EXPECT_EQ(server.Received(), TenLines() + TenLines() + TenLines().substr(0, 35))
        << "exactly the lines asked for";
    EXPECT_EQ(host->Delivered(), 25);
    EXPECT_EQ(host->Lost(), 0);
    // The first line, the last line of each pass before its rewind, and the last line sent.
    EXPECT_EQ(host->Events(), (std::vector<std::string>{"start", "line 0", "line 9", "rewind 9",
                                                        "line 9", "rewind 9", "line 4", "ended"}));
    EXPECT_EQ(host->Percents(), (std::vector<int>{0, 90, 90, 40}));
}

TEST_F(PlaybackTest, LoopRewindsAfterTheLastLineUntilStopped) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 0, true));
    const std::string path = WriteDataFile("three.txt", "a\nb\nc\n");

    ASSERT_NE(playback->Start({path, false, 3}), 0u);
    ASSERT_TRUE(host->WaitForLines(8));
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(10s));

    const std::vector<int> indexes = host->LineIndexes();
    ASSERT_GE(indexes.size(), 8u);
    for (std::size_t n = 0; n < indexes.size(); ++n) {
        EXPECT_EQ(indexes[n], static_cast<int>(n % 3)) << "at line " << n;
    }
    // Before line 0 of the second pass, line 2 (the last played) is let go.
    const std::vector<std::string> events = host->Events();
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 5),
              (std::vector<std::string>{"start", "line 0", "line 1", "line 2", "rewind 2"}));
    EXPECT_EQ(events[5], "line 0");
    ASSERT_TRUE(server.WaitForBytes(12));
    EXPECT_EQ(server.Received().substr(0, 12), "a\nb\nc\na\nb\nc\n");
    EXPECT_EQ(host->Ended().size(), 1u);
}

TEST_F(PlaybackTest, ConvertedFileSendsDecodedPayloadsAndSkipsTheMarker) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port()));
    const std::string path =
        WriteDataFile("converted.txt", "[TILLSTREAM_DATA]\r\n0x41 0x42\r\n0x43\r\n0x0D 0x0A\r\n");

    ASSERT_NE(playback->Start({path, true, 3}), 0u);
    ASSERT_TRUE(host->WaitForEnded(1));

    ASSERT_TRUE(server.WaitForBytes(5));
    EXPECT_EQ(server.Received(), "ABC\r\n");
    EXPECT_EQ(host->LineIndexes(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(host->Percents(), (std::vector<int>{0, 33, 66}));
}

TEST_F(PlaybackTest, RawLinesKeepTheirCarriageReturnsAndGetOneLineFeed) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port()));
    // An empty CR LF line, an empty LF line, and a last line without any line end.
    const std::string path = WriteDataFile("crlf.txt", "TOTAL 9.90\r\n\r\n\nTHANK YOU");

    ASSERT_NE(playback->Start({path, false, 4}), 0u);
    ASSERT_TRUE(host->WaitForEnded(1));

    const std::string expected = "TOTAL 9.90\r\n\r\n\nTHANK YOU\n";
    ASSERT_TRUE(server.WaitForBytes(expected.size()));
    EXPECT_EQ(server.Received(), expected);
}

TEST_F(PlaybackTest, PayloadWithNulGoesOutWholeOverTcpAndRs232) {
    const std::string path = WriteDataFile("payload.txt", "[TILLSTREAM_DATA]\n0x41 0x00 0x42\n");
    const std::string payload("A\0B", 3);
    {
        LoopbackTcpServer server;
        MakePlayback(TcpOptions(server.Port()));
        ASSERT_NE(playback->Start({path, true, 1}), 0u);
        ASSERT_TRUE(host->WaitForEnded(1));
        ASSERT_TRUE(server.WaitForBytes(3));
        EXPECT_EQ(server.Received(), payload);
    }
    {
        PtyPair pty;
        ASSERT_TRUE(pty.IsOpen());
        pty.LinkAsComPort(4);
        MakePlayback(SerialOptions(4, 300));  // the channel writes while the run pauses
        ASSERT_NE(playback->Start({path, true, 1}), 0u);
        EXPECT_EQ(pty.ReadFromMaster(3), payload);
        ASSERT_TRUE(host->WaitForEnded(1));
        EXPECT_TRUE(host->Messages().empty());
    }
}

TEST_F(PlaybackTest, RawLinesGoOutOfTheSerialPortInOrder) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    pty.LinkAsComPort(2);
    // Looping, so the run is still going (and its channel still writing) when the tenth line
    // has come: the end of a run drops what the channel has not yet written.
    OptionRecord options = SerialOptions(2, 1, true);
    options.outputBaudRate = 115200;
    MakePlayback(options);
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    EXPECT_EQ(pty.ReadFromMaster(TenLines().size()), TenLines());
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(10s));
}

TEST_F(PlaybackTest, SerialRunThatReachesTheEndSendsItsLastLinesBeforeClosing) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    pty.LinkAsComPort(3);
    MakePlayback(SerialOptions(3));  // no delay: every line is queued long before it is sent
    std::string text;
    for (int n = 0; n < 2000; ++n) {
        text += "receipt line " + std::to_string(n) + " ........................................\n";
    }
    const std::string path = WriteDataFile("long.txt", text);

    std::string received;
    std::thread reader([&] { received = pty.ReadFromMaster(text.size(), 30s); });
    ASSERT_NE(playback->Start({path, false, 2000}), 0u);
    ASSERT_TRUE(host->WaitForEnded(1));
    reader.join();
    EXPECT_EQ(received.size(), text.size());
    EXPECT_EQ(received, text);
}

TEST_F(PlaybackTest, UdpSendsEachLineAsADatagram) {
    LoopbackUdpReceiver receiver;
    OptionRecord options = TcpOptions(receiver.Port());
    options.outputInterface = kInterfaceUdpClient;
    MakePlayback(options);
    const std::string path = WriteDataFile("three.txt", "a\r\nbb\nccc");

    ASSERT_NE(playback->Start({path, false, 3}), 0u);
    ASSERT_TRUE(host->WaitForEnded(1));
    ASSERT_TRUE(receiver.WaitForDatagrams(3));
    EXPECT_EQ(receiver.Datagrams(), (std::vector<std::string>{"a\r\n", "bb\n", "ccc\n"}));
}

TEST_F(PlaybackTest, WithoutAnAddressTheRunWalksTheFileSendingNothing) {
    LoopbackTcpServer server;
    OptionRecord options = TcpOptions(server.Port());
    options.remoteAddress = 0;  // as a new user's settings have it
    MakePlayback(options);
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    ASSERT_TRUE(host->WaitForEnded(1));
    EXPECT_EQ(host->LineIndexes().size(), 10u);
    EXPECT_EQ(host->Lost(), 10) << "every line is reported lost";
    EXPECT_EQ(host->Delivered(), 0);
    EXPECT_EQ(server.ConnectionCount(), 0u);
    EXPECT_FALSE(socketClient.IsConnected());
}

TEST_F(PlaybackTest, AFileGoneSinceLoadingEndsTheRunAtOnceWithNothingShownOrSent) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port()));
    const std::string path = WriteDataFile("receipt.txt", TenLines());
    ASSERT_EQ(RemoveFile(path), FileError::None);

    const std::uint64_t runId = playback->Start({path, false, 10});
    ASSERT_NE(runId, 0u);
    ASSERT_TRUE(host->WaitForEnded(1));
    EXPECT_EQ(host->Events(), (std::vector<std::string>{"ended"}));
    EXPECT_EQ(host->Ended(), (std::vector<std::uint64_t>{runId}));
    EXPECT_EQ(server.ConnectionCount(), 0u);
}

TEST_F(PlaybackTest, AnEmptyPathStartsNothing) {
    MakePlayback(MakeDefaultOptionRecord());
    EXPECT_EQ(playback->Start({"", false, 0}), 0u);
    EXPECT_FALSE(playback->IsRunning());
    EXPECT_TRUE(host->Events().empty());
}

TEST_F(PlaybackTest, ProgressUsesTheCountFixedAtTheStart) {
    LoopbackUdpReceiver receiver;
    OptionRecord options = TcpOptions(receiver.Port());
    options.outputInterface = kInterfaceUdpClient;
    MakePlayback(options);
    const std::string path = WriteDataFile("four.txt", "1\n2\n3\n4\n");

    // The file grew after it was loaded with two lines: the bar stops at 100.
    ASSERT_NE(playback->Start({path, false, 2}), 0u);
    ASSERT_TRUE(host->WaitForEnded(1));
    EXPECT_EQ(host->Percents(), (std::vector<int>{0, 50, 100, 100}));

    // A count of 0 leaves the bar at 0 and the run plays on.
    ASSERT_NE(playback->Start({path, false, 0}), 0u);
    ASSERT_TRUE(host->WaitForEnded(2));
    const std::vector<int> percents = host->Percents();
    EXPECT_EQ(std::vector<int>(percents.begin() + 4, percents.end()),
              (std::vector<int>{0, 0, 0, 0}));
    ASSERT_TRUE(receiver.WaitForDatagrams(8));

    // A raw request for a file that was converted meanwhile plays it as raw text.
    const std::string converted = WriteDataFile("later.txt", "[TILLSTREAM_DATA]\n0x41\n");
    ASSERT_NE(playback->Start({converted, false, 2}), 0u);
    ASSERT_TRUE(host->WaitForEnded(3));
    ASSERT_TRUE(receiver.WaitForDatagrams(10));
    const std::vector<std::string> datagrams = receiver.Datagrams();
    EXPECT_EQ(datagrams[8], "[TILLSTREAM_DATA]\n");
    EXPECT_EQ(datagrams[9], "0x41\n");
}

TEST_F(PlaybackTest, StopCutsALongPauseShort) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 5000));
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    ASSERT_TRUE(server.WaitForBytes(7));  // "line 0\n" is out, the pause has begun
    const auto stopped = std::chrono::steady_clock::now();
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(10s));
    // Well before the 5,000 ms pause would have ended on its own.
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 3s);
    EXPECT_EQ(host->LineIndexes(), (std::vector<int>{0}));
    EXPECT_EQ(host->Ended().size(), 1u);
}

TEST_F(PlaybackTest, StopEndsAConnectThatGetsNoAnswer) {
    StalledTcpListener listener;
    if (!listener.IsStalled()) {
        GTEST_SKIP() << "no connect can be held unanswered here (Windows Sockets, and so Wine, "
                        "does not tell when a listener's queue is full)";
    }
    MakePlayback(TcpOptions(listener.Port()));
    socketClient.m_client.SetConnectTimeout(60s);
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    std::this_thread::sleep_for(200ms);  // let the connect begin
    const auto stopped = std::chrono::steady_clock::now();
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(30s));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 10s) << "the 60 s connect was not cut";
}

TEST_F(PlaybackTest, AReceiverThatResetsLosesOneLineAndTheNextLineReconnects) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 20, true));
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    ASSERT_TRUE(server.WaitForBytes(30));
    server.ResetConnections();
    ASSERT_TRUE(server.WaitForConnections(2));
    const std::size_t before = server.ByteCount();
    ASSERT_TRUE(server.WaitForBytes(before + 30));
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(10s));

    // The new connection carries whole lines from where the run had got to.
    const std::vector<std::string> perConnection = server.ReceivedPerConnection();
    ASSERT_GE(perConnection.size(), 2u);
    EXPECT_EQ(perConnection[1].rfind("line ", 0), 0u);
    EXPECT_EQ(host->Ended().size(), 1u);
}

TEST_F(PlaybackTest, ADelayChangedDuringTheRunAppliesFromTheNextLine) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 0, true));
    const std::string path = WriteDataFile("receipt.txt", TenLines());
    host->SetOnLine([this](int index) {
        if (index == 2) {
            OptionRecord options = host->Options().Get();
            options.delayMs = 60000;
            host->Options().Set(options);
        }
    });

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    // Line 2 was read with no delay; line 3 reads the long one and waits after it.
    ASSERT_TRUE(host->WaitForLines(4));
    EXPECT_FALSE(host->WaitForLines(5, 500ms));
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(10s));
    EXPECT_EQ(host->LineIndexes(), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(PlaybackTest, ALateLineRestartsTheScheduleInsteadOfCatchingUp) {
    LoopbackUdpReceiver receiver;
    OptionRecord options = TcpOptions(receiver.Port(), 200);
    options.outputInterface = kInterfaceUdpClient;
    MakePlayback(options);
    const std::string path = WriteDataFile("receipt.txt", TenLines());
    // Line 2 is held up for nearly two periods, as a slow transport would.
    host->SetOnLine([](int index) {
        if (index == 2) {
            std::this_thread::sleep_for(390ms);
        }
    });

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    ASSERT_TRUE(host->WaitForLines(6, 30s));
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(10s));

    const auto lines = host->Lines();
    // A line never comes early, not even the one after the overdue line 2 (its pause counts from
    // the moment line 2 went out), and from there the lines keep a whole period apart instead of
    // hurrying to make up for it (catching up would put line 4 about 10 ms after line 3).
    for (std::size_t n = 1; n < lines.size(); ++n) {
        EXPECT_GE(lines[n].when - lines[n - 1].when, 100ms)
            << "between lines " << n - 1 << " and " << n;
    }
}

TEST_F(PlaybackTest, TheLineAfterASlowConnectWaitsAWholeDelay) {
    constexpr auto kDelay = 100ms;
    LoopbackTcpOptions late;
    late.acceptAfter = 3 * kDelay;
    LoopbackTcpServer server(late);
    if (!server.IsHoldingConnects()) {
        GTEST_SKIP() << "no connect can be held unanswered here (Windows Sockets, and so Wine, "
                        "does not tell when a listener's queue is full)";
    }
    MakePlayback(TcpOptions(server.Port(), static_cast<std::uint32_t>(kDelay.count())));
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    const auto started = std::chrono::system_clock::now();
    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    ASSERT_TRUE(server.WaitForBytes(std::string("line 0\nline 1\n").size()));
    const auto arrivals = server.LineArrivals(0);
    ASSERT_GE(arrivals.size(), 2u);
    ASSERT_GE(arrivals[0] - started, 3 * kDelay) << "the connect was not held up";
    // The time the connect took is no part of the pause after the first line.
    EXPECT_GE(arrivals[1] - arrivals[0], kDelay);
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(10s));
}

TEST_F(PlaybackTest, StartWhilePlayingIsRefusedAndStartWhileEndingWaitsForTheOldRun) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 5000, true));
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    const std::uint64_t first = playback->Start({path, false, 10});
    ASSERT_NE(first, 0u);
    ASSERT_TRUE(host->WaitForLines(1));
    EXPECT_EQ(playback->Start({path, false, 10}), 0u);

    playback->RequestStop();
    const std::uint64_t second = playback->Start({path, false, 10});
    ASSERT_GT(second, first);
    ASSERT_TRUE(host->WaitForLines(2));
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(10s));

    EXPECT_EQ(host->Ended(), (std::vector<std::uint64_t>{first, second}));
    EXPECT_EQ(host->MostRunsAtOnce(), 1u);
    // The second run began only after the first had ended.
    const std::vector<std::string> events = host->Events();
    EXPECT_EQ(events,
              (std::vector<std::string>{"start", "line 0", "ended", "start", "line 0", "ended"}));
}

TEST_F(PlaybackTest, ManyQuickStartsAndStopsNeverOverlapOrHang) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 0, true));
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    std::vector<std::uint64_t> started;
    for (int n = 0; n < 300; ++n) {
        const std::uint64_t runId = playback->Start({path, false, 10});
        ASSERT_NE(runId, 0u) << "start " << n;
        started.push_back(runId);
        if (n % 3 == 0) {
            std::this_thread::yield();
        }
        playback->RequestStop();
    }
    ASSERT_TRUE(playback->WaitUntilEnded(60s));

    EXPECT_EQ(host->Ended(), started);  // each run ended once, in the order started
    EXPECT_EQ(host->MostRunsAtOnce(), 1u);
    EXPECT_FALSE(CFilesInPlay::Contains(path));
}

TEST_F(PlaybackTest, TheFileIsInPlayOnlyWhileTheRunLasts) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 5000));
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    ASSERT_TRUE(host->WaitForLines(1));
    EXPECT_TRUE(CFilesInPlay::Contains(path));
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(10s));
    EXPECT_FALSE(CFilesInPlay::Contains(path));
}

TEST_F(PlaybackTest, FilesWithNothingToPlayLoopUntilStopped) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 5000, true));
    const std::string markerOnly = WriteDataFile("marker.txt", "[TILLSTREAM_DATA]\r\n");
    const std::string empty = WriteDataFile("empty.txt", "");

    for (const PlaybackRequest& request :
         {PlaybackRequest{markerOnly, true, 0}, PlaybackRequest{empty, false, 0}}) {
        ASSERT_NE(playback->Start(request), 0u);
        std::this_thread::sleep_for(100ms);
        EXPECT_TRUE(playback->IsRunning()) << request.path;
        playback->RequestStop();
        ASSERT_TRUE(playback->WaitUntilEnded(10s)) << request.path;
    }
    EXPECT_TRUE(host->Lines().empty());
    EXPECT_EQ(host->Ended().size(), 2u);
    EXPECT_EQ(server.ByteCount(), 0u);
}

TEST_F(PlaybackTest, DestroyingThePlaybackStopsTheRunBeforeItReturns) {
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 5000, true));
    const std::string path = WriteDataFile("receipt.txt", TenLines());

    ASSERT_NE(playback->Start({path, false, 10}), 0u);
    ASSERT_TRUE(host->WaitForLines(1));
    playback.reset();

    EXPECT_EQ(host->Ended().size(), 1u);
    const std::size_t eventsAfter = host->Events().size();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(host->Events().size(), eventsAfter);
    EXPECT_FALSE(socketClient.IsConnected());
}

TEST_F(PlaybackTest, AnRs232PortThatCannotBeOpenedIsReportedAndTheRunGoesOn) {
    MakePlayback(SerialOptions(0));  // no device stands for COM0
    const std::string path = WriteDataFile("three.txt", "a\nb\nc\n");

    ASSERT_NE(playback->Start({path, false, 3}), 0u);
    ASSERT_TRUE(host->WaitForEnded(1));
    EXPECT_EQ(host->LineIndexes(), (std::vector<int>{0, 1, 2}));
    // Opening is tried again before every line while the port stays unavailable (and once more
    // on the pass that finds the end of the file).
    const std::vector<std::string> messages = host->Messages();
    ASSERT_EQ(messages.size(), 4u);
    for (const std::string& message : messages) {
        EXPECT_EQ(message.rfind("Slipwarden: ", 0), 0u) << message;
        EXPECT_NE(message.find("COM0"), std::string::npos) << message;
    }
}

TEST_F(PlaybackTest, AStopGivenWhileTheUserReadsAPortErrorEndsTheRunBeforeTheLine) {
    MakePlayback(SerialOptions(0, 0, true));
    const std::string path = WriteDataFile("three.txt", "a\nb\nc\n");
    // The user presses Output Stop while the box is up, then dismisses it.
    host->SetOnMessage([this] { playback->RequestStop(); });

    ASSERT_NE(playback->Start({path, false, 3}), 0u);
    ASSERT_TRUE(host->WaitForEnded(1));
    EXPECT_EQ(host->Messages().size(), 1u);
    EXPECT_TRUE(host->Lines().empty());
}

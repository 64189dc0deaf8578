// tillstream-cli as a process: play against real loopback receivers and a pseudo-terminal,
// conversion and options through the command line, and every refusal before anything is sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "HangupPty.h"
#include "LoopbackServer.h"
#include "PtyPair.h"
#include "StoreAccess.h"
#include "TempHome.h"
#include "TestSystem.h"
#include "platform/Interrupt.h"

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

std::string TcpTarget(const LoopbackTcpServer& server) {
    return "127.0.0.1:" + std::to_string(server.Port());
}

class CliPlayTest : public ProcessHomeTest {};

TEST_F(CliPlayTest, RawFileOverTcpArrivesAsItsLinesEachWithOneLineFeed) {
    const std::string file = home.Path("receipt.txt");
    // A CR LF line, an LF line, a line with a NUL and a byte above 0x7F, a last line with no end.
    WriteFileBytes(file, std::string("TOTAL 12.50\r\nCASH\n\0\xff\n", 21) + "THANK YOU");
    LoopbackTcpServer server;
    std::string err;
    // Written from the drive's root ("/users/..." on Windows): a value, never a flag.
    EXPECT_EQ(
        RunChild(kCli,
                 {"play", PathFromDriveRoot(file), "--tcp", TcpTarget(server), "--delay", "0"},
                 nullptr, &err),
        0)
        << err;
    const std::string expected = std::string("TOTAL 12.50\r\nCASH\n\0\xff\n", 21) + "THANK YOU\n";
    ASSERT_TRUE(server.WaitForBytes(expected.size()));
    EXPECT_EQ(server.Received(), expected);
    // Not a terminal: one summary line, nothing else.
    EXPECT_NE(err.find("sent 4 lines"), std::string::npos) << err;
}

TEST_F(CliPlayTest, ARunThatReachesNoDeviceSaysSoAndFails) {
    const std::string file = home.Path("receipt.txt");
    WriteFileBytes(file, "A\nB\nC\n");
    // A port that was listening a moment ago and is closed now: every connect is refused.
    std::string target;
    {
        LoopbackTcpServer gone;
        target = TcpTarget(gone);
    }
    std::string err;
    EXPECT_EQ(RunChild(kCli, {"play", file, "--tcp", target, "--delay", "0"}, nullptr, &err), 1)
        << err;
    EXPECT_NE(err.find("3 of them did not reach the device"), std::string::npos) << err;
    EXPECT_NE(err.find("no line reached the receiving device"), std::string::npos) << err;
}

TEST_F(CliPlayTest, ConvertedFileOverUdpSendsTheDecodedBytesOneDatagramPerLine) {
    const std::string file = home.Path("converted.txt");
    WriteFileBytes(file, "[TILLSTREAM_DATA]\r\n0x41 0x00 0x42\r\n0x1b0x40\r\n");
    LoopbackUdpReceiver receiver;
    EXPECT_EQ(RunChild(kCli, {"play", file, "--udp=127.0.0.1:" + std::to_string(receiver.Port()),
                              "--delay=0", "--quiet"}),
              0);
    ASSERT_TRUE(receiver.WaitForDatagrams(2));
    const std::vector<std::string> datagrams = receiver.Datagrams();
    ASSERT_EQ(datagrams.size(), 2u);
    EXPECT_EQ(datagrams[0], std::string("A\0B", 3));
    EXPECT_EQ(datagrams[1], "\x1b\x40");
}

TEST_F(CliPlayTest, SerialPortGetsTheLinesWithTheLineSettingsOfTheFlags) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    pty.LinkAsComPort(5);
    const std::string file = home.Path("serial.txt");
    WriteFileBytes(file, "A1\nB2\n");
    // 7 data bits with even parity, where the line keeps them; 8 without parity elsewhere (a
    // terminal under Wine refuses them when the command sets them a second time).
    const bool bFraming = pty.CarriesFraming(7, 2, 2);
    if (!bFraming) {
        std::printf(
            "[ note     ] this line cannot take 7 data bits and even parity twice (Wine)\n");
    }
    std::string err;
    EXPECT_EQ(RunChild(kCli,
                       // The end of a run closes the port and drops what the driver still holds,
                       // so the delay leaves the last line time to go out.
                       {"play", file, "--serial", "COM5", "--delay", "200", "--baud", "19200",
                        "--parity", bFraming ? "EVEN" : "NONE", "--data-bits", bFraming ? "7" : "8",
                        "--stop-bits", "2"},
                       nullptr, &err),
              0)
        << err;
    EXPECT_EQ(pty.ReadFromMaster(6), "A1\nB2\n");
    const PtyPair::LineState state = pty.ReadLineState();
    EXPECT_EQ(state.outputSpeed, 19200u);
    // A pseudo-terminal keeps the speed it was given but not the framing bits, so the speed is
    // what shows that the flags reached the port.
}

TEST_F(CliPlayTest, CountStopsAfterThatManyLinesAcrossLoops) {
    const std::string file = home.Path("three.txt");
    WriteFileBytes(file, "a\nb\nc\n");
    LoopbackTcpServer server;
    EXPECT_EQ(RunChild(kCli, {"play", file, "--tcp", TcpTarget(server), "--delay", "0", "--loop",
                              "--count", "7", "--quiet"}),
              0);
    ASSERT_TRUE(server.WaitForClosed(1));
    EXPECT_EQ(server.Received(), "a\nb\nc\na\nb\nc\na\n");

    // Without --loop the file's end comes first.
    LoopbackTcpServer second;
    EXPECT_EQ(RunChild(kCli, {"play", file, "--tcp", TcpTarget(second), "--delay", "0", "--count",
                              "10", "--quiet"}),
              0);
    ASSERT_TRUE(second.WaitForClosed(1));
    EXPECT_EQ(second.Received(), "a\nb\nc\n");
}

TEST_F(CliPlayTest, CtrlCEndsALoopingRunCleanlyWith130) {
    const std::string file = home.Path("loop.txt");
    WriteFileBytes(file, "line\n");
    LoopbackTcpServer server;
    ChildProcess child(kCli,
                       {"play", file, "--tcp", TcpTarget(server), "--delay", "10000", "--loop"});
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(server.WaitForBytes(5));
    const auto signalled = std::chrono::steady_clock::now();
    child.Interrupt();
    // The pause of 10 s is cut short: the process ends well before the next line was due.
    const std::optional<int> code = child.Wait(std::chrono::seconds(9));
    ASSERT_TRUE(code.has_value()) << "still running after Ctrl-C";
    EXPECT_EQ(*code, 130);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(9));
    // The end-of-run steps closed the connection.
    EXPECT_TRUE(server.WaitForClosed(1));
    EXPECT_EQ(server.Received(), "line\n");
}

TEST_F(CliPlayTest, RefusalsEndTheCommandBeforeAnythingIsSent) {
    const std::string file = home.Path("data.txt");
    WriteFileBytes(file, "x\n");
    LoopbackTcpServer server;
    const std::string target = TcpTarget(server);
    PtyPair::MakeComPortAbsent(9);
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"play", home.Path("missing.txt"), "--tcp", target}, 1, "cannot read"},
        {{"play", file, "--tcp", "127.0.0.1:70000"}, 2, "70000"},
        {{"play", file, "--tcp", "127.0.0.1:0"}, 2, "--tcp"},
        {{"play", file, "--tcp", "127.0.0.1"}, 2, "--tcp"},
        {{"play", file, "--tcp", "no-such-host.invalid:9100"}, 1, "cannot resolve"},
        {{"play", file, "--tcp", target, "--dealy", "5"}, 2, "'--dealy'"},
        {{"play", file, "--tcp", target, "--delay", "soon"}, 2, "--delay"},
        {{"play", file, "--tcp", target, "--count", "0"}, 2, "--count"},
        {{"play", file, "--tcp", target, "--parity", "ODDISH"}, 2, "--parity"},
        {{"play", file, "--tcp", target, "--loop=yes"}, 2, "--loop"},
        {{"play", file, "--tcp", target, "--udp", target}, 2, "at most one"},
        {{"play", file, "--serial", "COM9"}, 1, "Serial Port(COM9) open error(0x00000002)"},
        {{"play", file, "--serial", "LPT1"}, 2, "--serial"},
        // The stored record's default address 0.0.0.0 port 0 cannot be used.
        {{"play", file}, 1, "no usable receiving device address"},
        {{"play"}, 2, "FILE is missing"},
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_EQ(RunChild(kCli, c.args, nullptr, &err), c.code) << c.args.back() << ": " << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "one line: " << err;
    }
    EXPECT_EQ(server.ConnectionCount(), 0u);
    EXPECT_EQ(server.ByteCount(), 0u);
}

TEST_F(CliPlayTest, SpeedOutsideItsRangeIsRefusedHoweverItIsWritten) {
    const std::string log = home.Path("till.log");
    WriteFileBytes(log, "[2026-12-06 05:59:12] 0x41 0x0a\r\n[2026-12-06 05:59:13] 0x42 0x0a\r\n");
    LoopbackTcpServer server;
    const std::vector<std::string> refused = {
        "0.0000000000000000000000000000001", "1e-9", "0.0009", "0", "-1", "nan", "inf", "1e7"};
    for (const std::string& speed : refused) {
        std::string err;
        EXPECT_EQ(RunChild(kCli,
                           {"play", log, "--tcp", TcpTarget(server), "--pace", "recorded",
                            "--speed=" + speed},
                           nullptr, &err),
                  2);
        EXPECT_NE(err.find("--speed: '" + speed + "' is not a speed factor"), std::string::npos)
            << err;
    }
    EXPECT_EQ(server.ConnectionCount(), 0u);
    // The ends of the range play the whole log (a pause of at most 1 ms, however slow).
    for (const char* speed : {"0.001", "1e3", "1000000"}) {
        EXPECT_EQ(RunChild(kCli, {"play", log, "--tcp", TcpTarget(server), "--pace", "recorded",
                                  "--speed", speed, "--max-gap", "1", "--quiet"}),
                  0)
            << speed;
    }
    ASSERT_TRUE(server.WaitForClosed(3));
    EXPECT_EQ(server.Received(), "A\nB\nA\nB\nA\nB\n");
}

TEST_F(CliPlayTest, AConvertedLineOfMoreThan512BytesIsCutAndSaidOncePerRun) {
    // Lines 3 and 4 carry 600 and 700 bytes; the file is played twice.
    std::string longLines[2];
    for (int n = 0; n < 700; ++n) {
        longLines[0] += n < 600 ? "0x" + std::to_string(20 + n % 70) + " " : "";
        longLines[1] += "0x4b ";
    }
    const std::string file = home.Path("converted.txt");
    WriteFileBytes(file,
                   "[TILLSTREAM_DATA]\r\n0x41\r\n" + longLines[0] + "\r\n" + longLines[1] + "\r\n");
    LoopbackTcpServer server;
    std::string err;
    EXPECT_EQ(RunChild(kCli,
                       {"play", file, "--tcp", TcpTarget(server), "--delay", "0", "--loop",
                        "--count", "6"},
                       nullptr, &err),
              0)
        << err;
    std::string pass = "A";
    for (int n = 0; n < 512; ++n) {
        pass += static_cast<char>(0x20 + (n % 70 / 10) * 16 + n % 10);
    }
    pass += std::string(512, 'K');
    ASSERT_TRUE(server.WaitForBytes(2 * pass.size()));
    EXPECT_EQ(server.Received(), pass + pass);
    const std::string warning = "play: line 3: 600 bytes, only the first 512 are sent\n";
    const std::size_t at = err.find(warning);
    ASSERT_NE(at, std::string::npos) << err;
    EXPECT_EQ(err.find("only the first", at + warning.size()), std::string::npos)
        << "once: " << err;
}

TEST_F(CliPlayTest, ConvertThenRestoreGivesTheFileBackByteForByte) {
    const std::string file = home.Path("pos.log");
    const std::string original =
        "[2026-12-06 05:59:12] 0x41 0x42 0x0d 0x0a\r\n"
        "[2026-12-06 05:59:13] hello\r\n"
        "[2026-12-06 05:59:14] 0x1b 0x40\r\n";
    WriteFileBytes(file, original);
    std::string out;
    EXPECT_EQ(RunChild(kCli, {"convert", file}, &out), 0);
    EXPECT_EQ(out, "Success, Make tillstream data.\n");
    EXPECT_EQ(ReadFileBytes(file), "[TILLSTREAM_DATA]\r\n0x41 0x42 0x0d 0x0a\r\n0x1b 0x40\r\n");
    EXPECT_EQ(ReadFileBytes(home.Path("pos.bak")), original);

    // The converted file plays as its decoded bytes.
    LoopbackTcpServer server;
    EXPECT_EQ(RunChild(kCli, {"play", file, "--tcp", TcpTarget(server), "--delay", "0"}), 0);
    ASSERT_TRUE(server.WaitForBytes(6));
    EXPECT_EQ(server.Received(), "AB\r\n\x1b\x40");

    EXPECT_EQ(RunChild(kCli, {"restore", file}, &out), 0);
    EXPECT_EQ(out, "Success, Restore data.\n");
    EXPECT_EQ(ReadFileBytes(file), original);
    EXPECT_FALSE(FileExists(home.Path("pos.bak")));

    // A restore without a converted file, and a conversion of something that is no stamped hex
    // log, are refused and change nothing.
    std::string err;
    EXPECT_EQ(RunChild(kCli, {"restore", file}, &out, &err), 1);
    EXPECT_NE(err.find("not a converted data file"), std::string::npos) << err;
    const std::string raw = home.Path("raw.txt");
    WriteFileBytes(raw, "just text\n");
    EXPECT_EQ(RunChild(kCli, {"convert", raw}, &out, &err), 1);
    EXPECT_NE(err.find("not a stamped hex log"), std::string::npos) << err;
    EXPECT_EQ(ReadFileBytes(raw), "just text\n");
    EXPECT_FALSE(FileExists(home.Path("raw.bak")));

    // A backup that holds another file's data is never replaced: the conversion names it,
    // changes nothing and fails.
    WriteFileBytes(file, original);
    WriteFileBytes(home.Path("pos.bak"), "kept by the user\n");
    EXPECT_EQ(RunChild(kCli, {"convert", file}, &out, &err), 1);
    EXPECT_EQ(out, "Fail, Make tillstream data.\n");
    EXPECT_NE(err.find("'" + home.Path("pos.bak") + "' already exists and holds other data"),
              std::string::npos)
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(ReadFileBytes(file), original);
    EXPECT_EQ(ReadFileBytes(home.Path("pos.bak")), "kept by the user\n");
}

TEST_F(CliPlayTest, OptionsSetIsSavedAndShownAndBadValuesSaveNothing) {
    std::string out;
    std::string err;
    EXPECT_EQ(
        RunChild(kCli,
                 {"options", "set", "delayMs=250", "outputInterface=1", "outputParity=MARK",
                  "outputStopBits=1.5", "inputComPort=\\\\.\\COM12", "remoteAddress=192.168.0.10",
                  "remotePort=9100x", "captureFolder=" + home.Path("caps \"q\"")},
                 &out, &err),
        0)
        << err;
    EXPECT_EQ(RunChild(kCli, {"options"}, &out), 0);
    EXPECT_NE(out.find("delayMs=250\n"), std::string::npos) << out;
    EXPECT_NE(out.find("outputInterface=1\n"), std::string::npos);
    EXPECT_NE(out.find("outputParity=3\n"), std::string::npos);
    EXPECT_NE(out.find("outputStopBits=1\n"), std::string::npos);
    EXPECT_NE(out.find("inputComPort=12\n"), std::string::npos);
    EXPECT_NE(out.find("remoteAddress=192.168.0.10\n"), std::string::npos);
    EXPECT_NE(out.find("remotePort=9100\n"), std::string::npos);
    EXPECT_EQ(RunChild(kCli, {"options", "--json"}, &out), 0);
    EXPECT_NE(out.find("\"remoteAddress\":\"192.168.0.10\",\"remotePort\":9100}"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("caps \\\"q\\\"\""), std::string::npos) << out;

    // The stored record is exactly the record's size; a refused set leaves it as it was.
    bool bBinary = false;
    const std::string before = ReadStoredValue(&bBinary).value_or("");
    EXPECT_EQ(before.size(), 2892u);
    EXPECT_TRUE(bBinary);
    EXPECT_EQ(RunChild(kCli, {"options", "set", "delayMs=1", "colour=blue"}, nullptr, &err), 2);
    EXPECT_NE(err.find("colour"), std::string::npos);
    EXPECT_EQ(
        RunChild(kCli, {"options", "set", "captureFolder=" + std::string(256, 'f')}, nullptr, &err),
        2);
    EXPECT_EQ(RunChild(kCli, {"options", "set", "remoteAddress=10.0.0"}, nullptr, &err), 2);
    EXPECT_EQ(ReadStoredValue().value_or(""), before);

    // Play takes the stored UDP endpoint when no flag names one.
    LoopbackUdpReceiver receiver;
    EXPECT_EQ(RunChild(kCli, {"options", "set", "remoteAddress=127.0.0.1",
                              "remotePort=" + std::to_string(receiver.Port()), "delayMs=0"}),
              0);
    const std::string file = home.Path("one.txt");
    WriteFileBytes(file, "stored\n");
    EXPECT_EQ(RunChild(kCli, {"play", file, "--quiet"}), 0);
    ASSERT_TRUE(receiver.WaitForDatagrams(1));
    EXPECT_EQ(receiver.Datagrams().front(), "stored\n");
}
}  // namespace

// tillstream-cli receive as a process: what a peer sends comes out as lines and bytes, TCP
// connections one after another, long lines in pieces, UDP datagrams, a serial line, the --out
// copy and a file that cannot be written, refusals before anything is opened (a multicast
// interface this machine does not have among them), and play feeding receive across two
// processes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "PtyPair.h"
#include "ShowWindowStandIn.h"
#include "TempHome.h"
#include "TestSystem.h"
#include "platform/FileSystem.h"
#include "platform/Socket.h"

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

// Waits for "listening on tcp 127.0.0.1:NNNN" and returns the port (0 when it never came).
int ListeningPort(ChildProcess& child) {
    const std::string line = child.WaitForStderrLine("listening on ");
    const std::size_t colon = line.rfind(':');
    return colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
}

// A peer of the receiver, made with the program's own sockets.
void SendTcp(int port, const std::string& bytes) {
    CSocket socket = CSocket::OpenStream(nullptr);
    ASSERT_TRUE(socket.IsOpen());
    CWakeEvent never;
    ASSERT_EQ(socket.Connect(kLoopbackAddress, static_cast<std::uint16_t>(port),
                             std::chrono::seconds(10), never),
              SocketError::kNone);
    ASSERT_EQ(socket.Send(bytes.data(), bytes.size(), 0, nullptr), static_cast<long>(bytes.size()));
}

void SendUdp(int port, const std::string& bytes) {
    CSocket socket = CSocket::OpenDatagram(nullptr);
    ASSERT_TRUE(socket.IsOpen());
    ASSERT_EQ(socket.SendTo(bytes.data(), bytes.size(), kLoopbackAddress,
                            static_cast<std::uint16_t>(port), nullptr),
              static_cast<long>(bytes.size()));
}

struct TsvLine {
    std::vector<std::string> fields;
};

std::vector<TsvLine> ParseTsv(const std::string& text) {
    std::vector<TsvLine> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        TsvLine parsed;
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', start);
            parsed.fields.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos) {
                break;
            }
            start = tab + 1;
        }
        lines.push_back(parsed);
    }
    return lines;
}

class CliReceiveTest : public ProcessHomeTest {};

TEST_F(CliReceiveTest, TcpLinesAndBytesAreWhatWasSentOverSuccessiveConnections) {
    const std::string out = home.Path("received.bin");
    ChildProcess child(kCli, {"receive", "--tcp", "127.0.0.1:0", "--out", out});
    ASSERT_TRUE(child.WaitForStderr("listening on tcp 127.0.0.1:")) << child.Stderr();
    const int port = ListeningPort(child);
    ASSERT_GT(port, 0);

    const std::string first = std::string("A\0B\r\n", 5) + "\xe9\x7f\\\tx\n" + "no end";
    SendTcp(port, first);
    ASSERT_TRUE(child.WaitForStderr("connection 1 closed"));
    // A second connection after the first has closed is taken, as a device would.
    SendTcp(port, "second\n");
    ASSERT_TRUE(child.WaitForStderr("connection 2 closed"));
    child.Interrupt();
    ASSERT_EQ(child.Wait(), 130);

    const std::vector<TsvLine> lines = ParseTsv(child.Stdout());
    ASSERT_EQ(lines.size(), 4u) << child.Stdout();
    const std::vector<std::string> data = {"A\\0B\\r\\n", "\\xe9\\x7f\\\\\\tx\\n", "no end",
                                           "second\\n"};
    const std::vector<std::string> counts = {"5", "6", "6", "7"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].fields.size(), 6u);
        EXPECT_EQ(lines[i].fields[0], std::to_string(i + 1));
        EXPECT_EQ(lines[i].fields[1], i < 3 ? "1" : "2");
        EXPECT_EQ(lines[i].fields[4], counts[i]);
        EXPECT_EQ(lines[i].fields[5], data[i]);
    }
    EXPECT_EQ(lines[0].fields[3], "-");
    EXPECT_NE(lines[1].fields[3], "-");
    EXPECT_EQ(ReadFileBytes(out), first + "second\n");
    EXPECT_NE(child.Stderr().find("connections 2, lines 4, bytes 24"), std::string::npos)
        << child.Stderr();
}

TEST_F(CliReceiveTest, OnceEndsWhenTheFirstConnectionClosesAndHexShowsEveryByte) {
    ChildProcess child(kCli, {"receive", "--tcp=127.0.0.1:0", "--once", "--hex"});
    ASSERT_TRUE(child.WaitForStderr("listening on tcp"));
    SendTcp(ListeningPort(child), std::string("\0\xff\n", 3));
    ASSERT_EQ(child.Wait(), 0);
    const std::vector<TsvLine> lines = ParseTsv(child.Stdout());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].fields[5], "00 ff 0a");
}

TEST_F(CliReceiveTest, LongLinesComeInMarkedPiecesInEveryOutputForm) {
    std::string longLine;
    while (longLine.size() < 150000) {
        longLine += static_cast<char>('a' + longLine.size() % 26);
    }
    const std::string sent = longLine + "\nnext\n";
    for (const std::string form : {"", "--hex", "--quiet"}) {
        const std::string out = home.Path("long" + form + ".bin");
        std::vector<std::string> args = {"receive", "--tcp", "127.0.0.1:0", "--once", "--out", out};
        if (!form.empty()) {
            args.push_back(form);
        }
        ChildProcess child(kCli, args);
        const int port = ListeningPort(child);
        ASSERT_GT(port, 0) << child.Stderr();
        CSocket peer = CSocket::OpenStream(nullptr);
        CWakeEvent never;
        ASSERT_EQ(peer.Connect(kLoopbackAddress, static_cast<std::uint16_t>(port),
                               std::chrono::seconds(10), never),
                  SocketError::kNone);
        // A piece comes out while the line is still open: the receiver does not wait for its end.
        ASSERT_EQ(peer.Send(sent.data(), 70000, 0, nullptr), 70000);
        EXPECT_TRUE(form == "--quiet" || child.WaitForStdout("\t65536+\t")) << form;
        const std::size_t left = sent.size() - 70000;
        ASSERT_EQ(peer.Send(sent.data() + 70000, left, 0, nullptr),
                  static_cast<std::int64_t>(left));
        peer.Close();
        ASSERT_EQ(child.Wait(), 0) << form << ": " << child.Stderr();

        EXPECT_EQ(ReadFileBytes(out), sent) << form;
        EXPECT_NE(child.Stderr().find("connections 1, lines 2, bytes 150006"), std::string::npos)
            << form << ": " << child.Stderr();
        const std::vector<TsvLine> lines = ParseTsv(child.Stdout());
        ASSERT_EQ(lines.size(), form == "--quiet" ? 0u : 4u) << form;
        // INDEX and BYTES: the three pieces of line 1, the last with the rest, then line 2.
        const std::vector<std::string> expected = {"1 65536+", "1 65536+", "1 18929", "2 5"};
        std::string joined;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::vector<std::string>& f = lines[i].fields;
            ASSERT_EQ(f.size(), 6u);
            EXPECT_EQ(f[0] + " " + f[4], expected[i]) << form;
            const std::size_t count = std::stoul(f[4]);
            if (form == "--hex") {
                EXPECT_EQ(f[5].size(), 3 * count - 1) << "piece " << i;
            } else if (i < 3) {
                joined += f[5];
            }
        }
        if (form.empty()) {
            EXPECT_EQ(joined, longLine + "\\n");
        }
    }
}

TEST_F(CliReceiveTest, OutFileThatCannotBeWrittenIsNamedAndEndsTheRunWithItsSummary) {
    // A folder is no file to write: refused before anything listens, named for what it is.
    const std::string folder = home.Path("captures");
    ASSERT_EQ(MakeDirectory(folder), FileError::None);
    std::string err;
    EXPECT_EQ(RunChild(kCli, {"receive", "--tcp", "127.0.0.1:0", "--out", folder}, nullptr, &err),
              1);
    EXPECT_NE(err.find("cannot write '" + folder + "': it is a directory"), std::string::npos)
        << err;
    EXPECT_EQ(err.find("listening"), std::string::npos) << err;

    // Under Wine the child's current drive is the Linux root, where /dev/full is.
    if (!FileExists("/dev/full") && !RunsUnderWine()) {
        GTEST_SKIP() << "no device here that is always full";
    }
    // A full disk: every write fails. The cause is told once and the run ends by itself.
    ChildProcess child(kCli, {"receive", "--tcp", "127.0.0.1:0", "--out", "/dev/full"});
    const int port = ListeningPort(child);
    ASSERT_GT(port, 0) << child.Stderr();
    SendTcp(port, "one\ntwo\nthree\n");
    ASSERT_EQ(child.Wait(), 1) << child.Stderr();
    const std::string text = child.Stderr();
    const std::string told = "cannot write the --out file '/dev/full': disk full";
    EXPECT_NE(text.find(told), std::string::npos) << text;
    EXPECT_EQ(text.find(told), text.rfind(told)) << text;
    EXPECT_NE(text.find("connections 1, lines 3, bytes 14"), std::string::npos) << text;
    EXPECT_EQ(ParseTsv(child.Stdout()).size(), 3u);
}

TEST_F(CliReceiveTest, UdpTakesEachDatagramAsOneLine) {
    ChildProcess child(kCli, {"receive", "--udp", "127.0.0.1:0", "--expect-delay", "0"});
    ASSERT_TRUE(child.WaitForStderr("listening on udp 127.0.0.1:"));
    const int port = ListeningPort(child);
    SendUdp(port, "one\ntwo\n");
    ASSERT_TRUE(child.WaitForStdout("two"));
    SendUdp(port, std::string("\r\0", 2));
    ASSERT_TRUE(child.WaitForStdout("\\r\\0"));
    child.Interrupt();
    ASSERT_EQ(child.Wait(), 130);
    const std::vector<TsvLine> lines = ParseTsv(child.Stdout());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].fields[5], "one\\ntwo\\n");
    EXPECT_EQ(lines[1].fields[4], "2");
    EXPECT_NE(child.Stderr().find("lines 2, bytes 10"), std::string::npos) << child.Stderr();
    EXPECT_NE(child.Stderr().find("over 1 intervals"), std::string::npos) << child.Stderr();
}

TEST_F(CliReceiveTest, SerialLinesArriveAsTheFarEndWroteThem) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    pty.LinkAsComPort(3);
    const std::string out = home.Path("serial.bin");
    ChildProcess child(kCli, {"receive", "--serial", "COM3", "--out", out, "--baud", "115200"});
    ASSERT_TRUE(child.WaitForStderr("listening on serial COM3")) << child.Stderr();
    const std::string bytes = std::string("ID\0 7\r\n", 7) + "\x80\xfe" + "\n";
    pty.WriteToMaster(bytes);
    ASSERT_TRUE(child.WaitForStdout("\\x80\\xfe\\n")) << child.Stdout();
    child.Interrupt();
    ASSERT_EQ(child.Wait(), 130);
    const std::vector<TsvLine> lines = ParseTsv(child.Stdout());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].fields[5], "ID\\0 7\\r\\n");
    EXPECT_EQ(ReadFileBytes(out), bytes);
    EXPECT_EQ(pty.ReadLineState().inputSpeed, 115200u);
}

TEST_F(CliReceiveTest, BadFlagsAreRefusedBeforeAnythingIsOpened) {
    const std::string out = home.Path("never.bin");
    const std::vector<std::vector<std::string>> refused = {
        {"receive", "--tcp", "127.0.0.1:0", "--out", out, "--bogus"},
        {"receive", "--tcp", "127.0.0.1:65536", "--out", out},
        {"receive", "--tcp", "127.0.0.1:0", "--udp", "0", "--out", out},
        {"receive", "--out", out},
        {"receive", "--tcp", "0", "--expect-delay", "-5", "--out", out},
        {"receive", "--tcp", "0", "--baud", "9600", "--out", out},
        {"receive", "--serial", "COMX", "--out", out},
        {"receive", "--tcp"},
    };
    for (const auto& args : refused) {
        std::string err;
        EXPECT_EQ(RunChild(kCli, args, nullptr, &err), 2) << args[2] << ": " << err;
        EXPECT_EQ(err.find("listening"), std::string::npos);
        EXPECT_NE(err.find("tillstream-cli receive: "), std::string::npos) << err;
    }
    EXPECT_FALSE(FileExists(out));

    std::string err;
    PtyPair::MakeComPortAbsent(9);
    EXPECT_EQ(RunChild(kCli, {"receive", "--serial", "COM9", "--out", out}, nullptr, &err), 1);
    EXPECT_NE(err.find("Serial Port(COM9) open error(0x00000002)"), std::string::npos) << err;
}

TEST_F(CliReceiveTest, MulticastInterfaceMustBeAnAddressOfThisMachine) {
    const std::string file = home.Path("receipt.txt");
    WriteFileBytes(file, "TOTAL 3.20\r\n");
    // Neither 10.9.9.9 nor 127.0.0.2 is an interface's address (though 127.0.0.2 answers on
    // loopback): refused before any socket is opened. 127.0.0.1 is this machine's own.
    for (const std::string address : {"10.9.9.9", "127.0.0.2", "127.0.0.1"}) {
        const bool bLocal = address == "127.0.0.1";
        ChildProcess receiver(kCli, {"receive", "--udp", "239.255.77.4:0", "--interface", address});
        const int port = bLocal ? ListeningPort(receiver) : 9;
        std::string err;
        EXPECT_EQ(RunChild(kCli,
                           {"play", file, "--udp", "239.255.77.4:" + std::to_string(port),
                            "--interface", address, "--delay", "0"},
                           nullptr, &err),
                  bLocal ? 0 : 2)
            << address << ": " << err;
        if (bLocal) {
            EXPECT_TRUE(receiver.WaitForStdout("TOTAL 3.20\\r\\n")) << receiver.Stderr();
            receiver.Interrupt();
        }
        EXPECT_EQ(receiver.Wait(), bLocal ? 130 : 2) << address;
        const std::pair<std::string, std::string> outputs[] = {{"play", err},
                                                               {"receive", receiver.Stderr()}};
        for (const auto& [command, text] : outputs) {
            const std::string refusal = "tillstream-cli " + command + ": --interface: '" + address +
                                        "' is not an address of this machine; its addresses are ";
            EXPECT_EQ(text.find(refusal) == 0 && text.find("127.0.0.1") != std::string::npos &&
                          text.ends_with("(see 'tillstream-cli " + command + " --help')\n"),
                      !bLocal)
                << text;
        }
    }
}

TEST_F(CliReceiveTest, PlayIntoReceiveEndToEnd) {
    ChildProcess receiver(kCli,
                          {"receive", "--tcp", "127.0.0.1:0", "--once", "--expect-delay", "20"});
    ASSERT_TRUE(receiver.WaitForStderr("listening on tcp"));
    const std::string file = home.Path("day.txt");
    WriteFileBytes(file, "ITEM 1\r\nITEM 2\r\nTOTAL\r\n");
    std::string err;
    EXPECT_EQ(
        RunChild(kCli,
                 {"play", file, "--tcp", "127.0.0.1:" + std::to_string(ListeningPort(receiver)),
                  "--delay", "20", "--loop", "--count", "5"},
                 nullptr, &err),
        0)
        << err;
    ASSERT_EQ(receiver.Wait(), 0) << receiver.Stderr();
    const std::vector<TsvLine> lines = ParseTsv(receiver.Stdout());
    ASSERT_EQ(lines.size(), 5u) << receiver.Stdout();
    const std::vector<std::string> expected = {"ITEM 1\\r\\n", "ITEM 2\\r\\n", "TOTAL\\r\\n",
                                               "ITEM 1\\r\\n", "ITEM 2\\r\\n"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].fields[5], expected[i]);
    }
    EXPECT_NE(receiver.Stderr().find("connections 1, lines 5, bytes 39"), std::string::npos)
        << receiver.Stderr();
    EXPECT_NE(receiver.Stderr().find("over 4 intervals"), std::string::npos);
}

TEST_F(CliReceiveTest, CaptureRecordsWhatArrivesOnThePortIntoTheCaptureFolder) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    pty.LinkAsComPort(4);
    const std::string folder = home.Path("caps/new");
    ChildProcess child(kCli, {"capture", "--port", "COM4", "--folder", folder});
    ASSERT_TRUE(child.WaitForStdout(".dat\n")) << child.Stderr();
    std::string path = child.Stdout();
    path.pop_back();
    EXPECT_EQ(path.rfind(folder + PreferredPathSeparator(), 0), 0u) << path;
    // The port opens after the file is announced; keep writing until something has arrived.
    std::string written;
    for (int i = 0; i < 200 && ReadFileBytes(path).empty(); ++i) {
        pty.WriteToMaster("AB");
        written += "AB";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    child.Interrupt();
    ASSERT_EQ(child.Wait(), 130);
    const std::string captured = ReadFileBytes(path);
    ASSERT_FALSE(captured.empty());
    // What was written before the port opened may be lost; the rest is there, in order.
    EXPECT_EQ(written.compare(written.size() - captured.size(), captured.size(), captured), 0)
        << captured;
}

TEST_F(CliReceiveTest, ShowAsksTheWindowAndPrintsItsAnswer) {
    std::string err;
    EXPECT_EQ(RunChild(kCli, {"show"}, nullptr, &err), 1);
    EXPECT_NE(err.find("no Tillstream window is listening"), std::string::npos) << err;

    // A stand-in for the window's side, where the window listens on this system.
    ShowWindowStandIn window(1);
    ASSERT_TRUE(window.IsListening());
    std::string out;
    EXPECT_EQ(RunChild(kCli, {"show"}, &out, &err), 0) << err;
    EXPECT_EQ(window.Requests(), (std::vector<long>{1}));
    EXPECT_EQ(out, "1\n");
}
}  // namespace

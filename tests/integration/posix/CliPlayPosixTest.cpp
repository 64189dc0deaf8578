// tillstream-cli as a process under what only Linux can make: termination signals, files that
// are not regular files (named pipes, devices), symbolic links, and a serial adapter pulled while
// another program held it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "HangupPty.h"
#include "LoopbackServer.h"
#include "TempHome.h"
#include "platform/Interrupt.h"

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

std::string TcpTarget(const LoopbackTcpServer& server) {
    return "127.0.0.1:" + std::to_string(server.Port());
}

class CliPlayPosixTest : public ProcessHomeTest {};

TEST_F(CliPlayPosixTest, EachTerminationSignalEndsARunStuckInASendWithItsOwnCode) {
    // 8 MB: more than the system lets the sending socket hold (4 MB at most) and the receiver's
    // small buffer together, so the run is left waiting in a send.
    const std::string file = home.Path("big.txt");
    std::string text;
    for (int n = 0; n < 200000; ++n) {
        text += "line " + std::to_string(1000000 + n) + " .............................\n";
    }
    WriteFileBytes(file, text);
    struct Case {
        int signal;
        int code;
    };
    for (const Case c : {Case{SIGTERM, 143}, Case{SIGHUP, 129}, Case{SIGINT, 130}}) {
        LoopbackTcpOptions silent;
        silent.bRead = false;  // accepts and never reads
        silent.nReceiveBufferSize = 4096;
        LoopbackTcpServer server(silent);
        ChildProcess child(kCli, {"play", file, "--tcp", TcpTarget(server), "--delay", "0"});
        ASSERT_TRUE(child.Started());
        ASSERT_TRUE(server.WaitForConnections(1)) << child.Stderr();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_FALSE(child.Wait(std::chrono::milliseconds(0)))
            << "it was not stuck: " << child.Stderr();
        child.Signal(c.signal);
        // The goal is far shorter; the bound only keeps a hanging program from hanging the test.
        const std::optional<int> code = child.Wait(std::chrono::seconds(5));
        ASSERT_TRUE(code.has_value()) << "still running after signal " << c.signal;
        EXPECT_EQ(*code, c.code) << "signal " << c.signal;
        // It ended cleanly with the summary of the run, or, when the machine was too slow for the
        // stop limit, at once and saying so.
        const std::string said = child.Stderr();
        EXPECT_TRUE(said.find("sent ") != std::string::npos ||
                    said.find(kInterruptCutNotice) != std::string::npos)
            << said;
    }
}

TEST_F(CliPlayPosixTest, FilesThatAreNotRegularFilesAreRefusedAtOnce) {
    // A named pipe without writer would hold the open, /dev/zero would be read for ever. Each
    // run is bounded, so that a command that hangs fails here instead of holding the run.
    const std::string fifo = home.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = home.Path("folder");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    LoopbackTcpServer server;
    const struct {
        std::string path;
        const char* kind;
    } files[] = {
        {fifo, "a named pipe"}, {"/dev/zero", "a character device"}, {folder, "a directory"}};
    const std::vector<std::vector<std::string>> commands = {
        {"play", "--tcp", TcpTarget(server)}, {"convert"}, {"restore"}};
    for (const auto& file : files) {
        for (std::vector<std::string> args : commands) {
            args.insert(args.begin() + 1, file.path);
            std::string out;
            std::string err;
            const auto began = std::chrono::steady_clock::now();
            EXPECT_EQ(RunChild(kCli, args, &out, &err, std::chrono::seconds(10)), 1)
                << args[0] << " " << file.path << ": " << err;
            const auto took = std::chrono::steady_clock::now() - began;
            EXPECT_EQ(err, "tillstream-cli " + args[0] + ": '" + file.path + "' is " + file.kind +
                               ", not a regular file\n");
            EXPECT_EQ(out, "");
            std::printf("[ figures  ] %s %s refused in %.1f ms\n", args[0].c_str(),
                        file.path.c_str(), std::chrono::duration<double, std::milli>(took).count());
        }
    }
    EXPECT_EQ(server.ConnectionCount(), 0u);
    EXPECT_FALSE(FileExists(home.Path("fifo.bak")));
    EXPECT_FALSE(FileExists(home.Path("folder.bak")));
    struct stat info {};
    ASSERT_EQ(::stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(CliPlayPosixTest, ConvertAndRestoreThroughALinkKeepTheLink) {
    ASSERT_EQ(::mkdir(home.Path("data").c_str(), 0700), 0);
    const std::string real = home.Path("data/real.log");
    const std::string original = "[2026-12-06 05:59:12] 0x41 0x42\r\n";
    WriteFileBytes(real, original);
    const std::string link = home.Path("link.log");
    ASSERT_EQ(::symlink("data/real.log", link.c_str()), 0);
    auto isLink = [&link] {
        struct stat info {};
        return ::lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
    };

    EXPECT_EQ(RunChild(kCli, {"convert", link}), 0);
    EXPECT_TRUE(isLink());
    EXPECT_EQ(ReadFileBytes(real), "[TILLSTREAM_DATA]\r\n0x41 0x42\r\n");
    EXPECT_EQ(ReadFileBytes(home.Path("data/real.bak")), original);
    EXPECT_FALSE(FileExists(home.Path("link.bak")));

    EXPECT_EQ(RunChild(kCli, {"restore", link}), 0);
    EXPECT_TRUE(isLink());
    EXPECT_EQ(ReadFileBytes(real), original);
    EXPECT_FALSE(FileExists(home.Path("data/real.bak")));
}

TEST_F(CliPlayPosixTest, APulledAdapterIsAnOpenErrorOfItsOwn) {
    const std::string file = home.Path("data.txt");
    WriteFileBytes(file, "x\n");
    // A USB adapter pulled while another program had it open: it lingers and fails with an I/O
    // error, which is an open error of its own, not a port held by another program.
    HangupPty pulled;
    std::filesystem::create_directories(home.SettingsFolder() + "/ports");
    std::filesystem::create_symlink(pulled.HoldSlaveOpen(), home.SettingsFolder() + "/ports/COM4");
    pulled.Hangup();
    std::string err;
    EXPECT_EQ(RunChild(kCli, {"play", file, "--serial", "COM4"}, nullptr, &err), 1);
    EXPECT_NE(err.find("Serial Port(COM4) open error(0x20000005)"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "one line: " << err;
}
}  // namespace

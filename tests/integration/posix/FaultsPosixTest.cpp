// tillstream-cli as a process under faults made with Linux means: a capture whose disk fills up
// (a file size limit), and an option record that cannot be saved (a folder in the value's place).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "PtyPair.h"
#include "TempHome.h"

using namespace std::chrono_literals;

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

class CliFaultsPosixTest : public ProcessHomeTest {};

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}
}  // namespace

TEST_F(CliFaultsPosixTest, CaptureEndsWhenTheDiskFillsWithEveryByteBeforeInTheFile) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    pty.LinkAsComPort(6);
    const std::string folder = home.Path("captures");
    // The file size limit stands for a full disk: writes past 4096 bytes fail with EFBIG
    // (the signal that would kill the process is ignored, as a full disk sends none).
    ChildProcess child("/bin/bash", {"-c", "trap '' XFSZ; ulimit -f 4; exec " + Quoted(kCli) +
                                               " capture --port COM6 --folder " + Quoted(folder)});
    ASSERT_TRUE(child.WaitForStdout(".dat\n")) << child.Stderr();
    std::string path = child.Stdout();
    path.pop_back();

    // The port opens after the file is announced: write until something has arrived.
    std::string written;
    for (int i = 0; i < 200 && ReadFileBytes(path).empty(); ++i) {
        pty.WriteToMaster("AB");
        written += "AB";
        std::this_thread::sleep_for(50ms);
    }
    const std::size_t leadIn = written.size();
    ASSERT_FALSE(ReadFileBytes(path).empty());
    // Then far more than the limit, in pieces, until the capture gives up.
    std::optional<int> exitCode;
    for (int n = 0; n < 40 && !(exitCode = child.Wait(0ms)); ++n) {
        std::string piece;
        for (int k = 0; k < 500; ++k) {
            piece += static_cast<char>('a' + (n * 500 + k) % 26);
        }
        pty.WriteToMaster(piece);
        written += piece;
        std::this_thread::sleep_for(20ms);
    }
    if (!exitCode) {
        exitCode = child.Wait();
    }
    ASSERT_TRUE(exitCode.has_value()) << "the capture went on with a full disk";
    EXPECT_EQ(*exitCode, 1) << child.Stderr();

    // The file holds the limit's worth, and it is exactly what came in, in order: the bytes
    // written before the port opened may be missing at the front, nothing else.
    const std::string captured = ReadFileBytes(path);
    ASSERT_EQ(captured.size(), 4096u);
    bool bFound = false;
    for (std::size_t skipped = 0; skipped <= leadIn && !bFound; ++skipped) {
        bFound = written.compare(skipped, captured.size(), captured) == 0;
    }
    EXPECT_TRUE(bFound) << "the file is not the bytes that arrived";
}

TEST_F(CliFaultsPosixTest, AnOptionRecordThatCannotBeSavedIsTracedAndLeavesTheStoreAlone) {
    // Tests run as the superuser, whom folder permissions do not stop; the value is made
    // unwritable by a folder of its name instead.
    ::mkdir((home.ConfigRoot() + "/VAZ").c_str(), 0700);
    ::mkdir(home.SettingsFolder().c_str(), 0700);
    ::mkdir((home.SettingsFolder() + "/OptionData").c_str(), 0700);
    ::setenv("TILLSTREAM_TRACE", "1", 1);
    std::string out;
    std::string err;
    const int code = RunChild(kCli, {"options", "set", "delayMs=250"}, &out, &err);
    ::unsetenv("TILLSTREAM_TRACE");
    EXPECT_EQ(code, 1) << err;
    EXPECT_NE(err.find("][tillstream-cli options] ERROR - HRegSetValue"), std::string::npos) << err;
    EXPECT_NE(err.find("could not be saved"), std::string::npos) << err;
    struct stat info {};
    ASSERT_EQ(::stat((home.SettingsFolder() + "/OptionData").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

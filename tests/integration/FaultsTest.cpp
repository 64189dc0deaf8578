// tillstream-cli as a process under faults: a capture whose disk fills up, conversions killed
// at random moments, and an option record that cannot be saved.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "PtyPair.h"
#include "TempHome.h"

using namespace std::chrono_literals;

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

class CliFaultsTest : public TempHomeTest {};

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// A stamped hex log of `lines` records of twelve bytes each.
std::string StampedHexLog(int lines) {
    std::string text;
    char line[160];
    for (int n = 0; n < lines; ++n) {
        std::snprintf(line, sizeof line,
                      "[2026-12-06 05:%02d:%02d] 0x1b 0x40 0x%02x 0x65 0x6c 0x6c 0x6f 0x20 0x%02x "
                      "0x%02x 0x0d 0x0a\r\n",
                      (n / 60) % 60, n % 60, n % 256, (n / 256) % 256, (n * 7) % 256);
        text += line;
    }
    return text;
}
// The names of the hidden copies that file copies make in `folder`.
std::vector<std::string> HiddenCopiesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".tillstream-copy-")) {
            names.push_back(name);
        }
    }
    return names;
}
}  // namespace

TEST_F(CliFaultsTest, CaptureEndsWhenTheDiskFillsWithEveryByteBeforeInTheFile) {
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

TEST_F(CliFaultsTest, ConversionKilledAtAnyMomentLeavesTheOldOrTheNewFileWhole) {
    const std::string original = StampedHexLog(60000);
    // The full result, from a conversion that ran to its end.
    const std::string reference = home.Path("reference.log");
    WriteFileBytes(reference, original);
    const auto began = std::chrono::steady_clock::now();
    std::string err;
    ASSERT_EQ(RunChild(kCli, {"convert", reference}, nullptr, &err), 0) << err;
    const auto duration = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - began);
    const std::string converted = ReadFileBytes(reference);
    ASSERT_NE(converted, original);

    const std::string path = home.Path("day.log");
    const std::string backup = home.Path("day.bak");
    std::mt19937 random(20261206);
    std::uniform_int_distribution<long> moment(0, duration.count() * 6 / 5);
    int wasOld = 0;
    int wasNew = 0;
    int backups = 0;
    for (int round = 0; round < 25; ++round) {
        if (ReadFileBytes(path) != original) {
            WriteFileBytes(path, original);
        }
        ::unlink(backup.c_str());
        ChildProcess child(kCli, {"convert", path});
        ASSERT_TRUE(child.Started());
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        child.Signal(SIGKILL);
        ASSERT_TRUE(child.Wait().has_value());

        const std::string now = ReadFileBytes(path);
        ASSERT_TRUE(now == original || now == converted)
            << "round " << round << ": the data file is half written (" << now.size() << " bytes)";
        (now == original ? wasOld : wasNew) += 1;
        if (FileExists(backup)) {
            ++backups;
            ASSERT_EQ(ReadFileBytes(backup), original) << "round " << round;
        }
        if (now == converted) {
            EXPECT_TRUE(FileExists(backup)) << "round " << round << ": converted without backup";
        }
    }
    // What the kills left beside the data file: hidden copies only from a kill between naming
    // a finished copy and renaming it into place; the temporary file from a kill while the lines
    // were written.
    const std::string temp = home.Path("day.tmp");
    const std::vector<std::string> leftAfterKills = HiddenCopiesIn(home.Root());
    std::uintmax_t leftBytes = 0;
    for (const std::string& name : leftAfterKills) {
        leftBytes += std::filesystem::file_size(home.Path(name));
    }
    std::printf(
        "[ figures  ] conversion %lld us; 25 kills: %d old, %d converted, %d backups; "
        "left: %zu hidden copies (%ju bytes), %s %jd bytes\n",
        static_cast<long long>(duration.count()), wasOld, wasNew, backups, leftAfterKills.size(),
        leftBytes, FileExists(temp) ? "day.tmp" : "no day.tmp",
        FileExists(temp) ? static_cast<std::intmax_t>(std::filesystem::file_size(temp))
                         : std::intmax_t{0});

    // One more conversion of the file clears all of it.
    WriteFileBytes(path, original);
    ASSERT_EQ(RunChild(kCli, {"convert", path}, nullptr, &err), 0) << err;
    EXPECT_EQ(ReadFileBytes(path), converted);
    EXPECT_EQ(HiddenCopiesIn(home.Root()), std::vector<std::string>{});
    EXPECT_FALSE(FileExists(temp));
}

TEST_F(CliFaultsTest, AnOptionRecordThatCannotBeSavedIsTracedAndLeavesTheStoreAlone) {
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

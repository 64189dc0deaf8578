// tillstream-cli as a process under faults: conversions killed at random moments. (A full disk
// and a record that cannot be saved are made with Linux means: posix/FaultsPosixTest.cpp.)
#include <gtest/gtest.h>

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
#include "TempHome.h"
#include "platform/FileSystem.h"

using namespace std::chrono_literals;

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

class CliFaultsTest : public ProcessHomeTest {};

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
        RemoveFile(backup);
        ChildProcess child(kCli, {"convert", path});
        ASSERT_TRUE(child.Started());
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        child.Kill();
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

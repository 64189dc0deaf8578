// Capture from a pseudo-terminal linked as a COM port into files in a temporary capture folder.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PtyPair.h"
#include "RecordingHosts.h"
#include "TempHome.h"
#include "datafile/FileNames.h"
#include "engine/InputCapture.h"
#include "transport/CommThread.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

bool WaitForFileSize(const std::string& path, std::size_t size) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (FileExists(path) && ReadFileBytes(path).size() >= size) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

// The program keeps names in UTF-8; the standard library reads a plain string in the system's
// old code page on Windows, so names go to it as UTF-8 explicitly.
fs::path Utf8Path(const std::string& name) {
    return fs::path(std::u8string(name.begin(), name.end()));
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Utf8Path(folder))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

LocalTime LocalTimeIn(int seconds) {
    const std::time_t when = std::time(nullptr) + seconds;
    const std::tm parts = *std::localtime(&when);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
            parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

class CaptureTest : public TempHomeTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.IsOpen());
        pty.LinkAsComPort(3);
        folder = home.Path("captures");
        options = MakeDefaultOptionRecord();
        options.inputComPort = 3;
        options.inputBaudRate = 115200;
        ASSERT_TRUE(SetCaptureFolder(options, folder.c_str()));
        capture = std::make_unique<CInputCapture>(host);
    }
    void TearDown() override { capture.reset(); }

    // Starts a run and waits until its port is open.
    std::uint64_t StartRunning(std::size_t runsSoFar = 0) {
        const std::uint64_t runId = capture->Start(options);
        EXPECT_NE(runId, 0u);
        EXPECT_TRUE(host.WaitForRunning(runsSoFar + 1));
        return runId;
    }

    void StopAndWait() {
        capture->RequestStop();
        ASSERT_TRUE(capture->WaitUntilEnded(10s));
    }

    PtyPair pty;
    std::string folder;
    OptionRecord options{};
    RecordingCaptureHost host;
    std::unique_ptr<CInputCapture> capture;
};

}  // namespace

TEST_F(CaptureTest, ChunksArriveInTheFileInOrderWithNothingBetween) {
    StartRunning();
    ASSERT_EQ(host.Files().size(), 1u);
    const std::string path = host.Files()[0];
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(folder));

    pty.WriteToMaster("AB");
    ASSERT_TRUE(WaitForFileSize(path, 2));  // on disk while the run goes on
    pty.WriteToMaster("CD");
    ASSERT_TRUE(WaitForFileSize(path, 4));
    pty.WriteToMaster("EF");
    ASSERT_TRUE(WaitForFileSize(path, 6));
    StopAndWait();

    EXPECT_EQ(ReadFileBytes(path), "ABCDEF");
    EXPECT_TRUE(host.Failed().empty());
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(CaptureTest, EveryByteIsKeptNulAndControlBytesIncluded) {
    StartRunning();
    std::string bytes;
    for (int n = 0; n < 256; ++n) {
        bytes.push_back(static_cast<char>(n));
    }
    bytes += std::string("\0\0\r\n\x1b", 5);
    pty.WriteToMaster(bytes);
    const std::string path = host.Files().at(0);
    ASSERT_TRUE(WaitForFileSize(path, bytes.size()));
    StopAndWait();
    EXPECT_EQ(ReadFileBytes(path), bytes);
}

TEST_F(CaptureTest, AMissingFolderIsCreatedLevelByLevel) {
    // A name beyond ASCII, in UTF-8 as the record keeps it (on Windows through the ANSI
    // functions, which take UTF-8 since the program declares that code page).
    folder = home.Path("Kass\xc3\xa9/b");
    ASSERT_TRUE(SetCaptureFolder(options, folder.c_str()));
    StartRunning();
    pty.WriteToMaster("X");
    ASSERT_TRUE(WaitForFileSize(host.Files().at(0), 1));
    StopAndWait();
    EXPECT_TRUE(fs::is_directory(Utf8Path(folder)));
    EXPECT_EQ(FilesIn(folder).size(), 1u);
}

TEST_F(CaptureTest, ExistingCaptureFilesAreNeverEmptied) {
    fs::create_directories(folder);
    // Whatever second the run begins in (allowing for a slow start), its name is taken already.
    std::vector<std::string> taken;
    for (int seconds = 0; seconds < 5; ++seconds) {
        taken.push_back(CaptureFilePath(folder, LocalTimeIn(seconds)));
        WriteFileBytes(taken.back(), "earlier run");
    }

    StartRunning();
    pty.WriteToMaster("new");
    ASSERT_TRUE(WaitForFileSize(host.Files().at(0), 3));
    StopAndWait();
    // A second run straight after uses yet another file.
    StartRunning(1);
    pty.WriteToMaster("newer");
    ASSERT_TRUE(WaitForFileSize(host.Files().at(1), 5));
    StopAndWait();

    for (const std::string& path : taken) {
        EXPECT_EQ(ReadFileBytes(path), "earlier run") << path;
    }
    const std::vector<std::string> files = host.Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(files[0], files[1]);
    EXPECT_NE(files[0].find("-2.dat"), std::string::npos) << files[0];
    EXPECT_EQ(ReadFileBytes(files[0]), "new");
    EXPECT_EQ(ReadFileBytes(files[1]), "newer");
}

TEST_F(CaptureTest, APortHeldByAnotherOpenerLeavesAnEmptyFileAndFails) {
    if (!PtyPair::OpensAreExclusive()) {
        GTEST_SKIP() << "Wine lets a second open of a COM port succeed, so \"already used by other "
                        "application\" shows on Windows itself only";
    }
    CCommThread other;
    ASSERT_TRUE(other.OpenPort("COM3", COMM_MODE_READ));

    const std::uint64_t runId = capture->Start(options);
    ASSERT_NE(runId, 0u);
    ASSERT_TRUE(host.WaitForEnded(1));
    EXPECT_EQ(host.Failed(), (std::vector<std::uint64_t>{runId}));
    EXPECT_EQ(host.Messages(),
              (std::vector<std::string>{"Slipwarden: Serial Port(COM3) is already used by other "
                                        "application."}));
    ASSERT_EQ(host.Files().size(), 1u);
    EXPECT_TRUE(FileExists(host.Files()[0]));
    EXPECT_EQ(ReadFileBytes(host.Files()[0]), "");
    EXPECT_TRUE(capture->WaitUntilEnded(10s));
}

TEST_F(CaptureTest, AFolderThatCannotBeMadeFailsBeforeThePortIsOpened) {
    WriteFileBytes(home.Path("plain-file"), "x");
    folder = home.Path("plain-file/captures");
    ASSERT_TRUE(SetCaptureFolder(options, folder.c_str()));
    // Had the run tried the port, it would have been told that the port is in use.
    CCommThread other;
    ASSERT_TRUE(other.OpenPort("COM3", COMM_MODE_READ));

    const std::uint64_t runId = capture->Start(options);
    ASSERT_TRUE(host.WaitForEnded(1));
    EXPECT_EQ(host.Failed(), (std::vector<std::uint64_t>{runId}));
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_TRUE(host.Files().empty());
}

TEST_F(CaptureTest, PortTwelveIsTheDeviceLinkedAsCom12) {
    PtyPair port12;
    ASSERT_TRUE(port12.IsOpen());
    port12.LinkAsComPort(12);
    options.inputComPort = 12;
    StartRunning();
    port12.WriteToMaster("twelve");
    ASSERT_TRUE(WaitForFileSize(host.Files().at(0), 6));
    StopAndWait();
    EXPECT_EQ(ReadFileBytes(host.Files()[0]), "twelve");
}

TEST_F(CaptureTest, AStartWhileCapturingIsRefusedAndOneAfterAStopWaitsForTheOldRun) {
    const std::uint64_t first = StartRunning();
    EXPECT_EQ(capture->Start(options), 0u);

    pty.WriteToMaster("one");
    ASSERT_TRUE(WaitForFileSize(host.Files().at(0), 3));
    capture->RequestStop();
    // The new run opens the same port: it can only do so once the old run has let it go.
    const std::uint64_t second = capture->Start(options);
    ASSERT_GT(second, first);
    ASSERT_TRUE(host.WaitForRunning(2));
    EXPECT_EQ(host.Ended(), (std::vector<std::uint64_t>{first}));
    StopAndWait();
    EXPECT_EQ(host.Ended(), (std::vector<std::uint64_t>{first, second}));
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(ReadFileBytes(host.Files()[0]), "one");
}

TEST_F(CaptureTest, DestroyingTheCaptureEndsTheRunWithTheFileComplete) {
    StartRunning();
    pty.WriteToMaster("kept");
    const std::string path = host.Files().at(0);
    ASSERT_TRUE(WaitForFileSize(path, 4));
    capture.reset();
    EXPECT_EQ(host.Ended().size(), 1u);
    EXPECT_EQ(ReadFileBytes(path), "kept");
}

TEST(CreateFolder, MakesEveryMissingLevelFromTheTop) {
    TempHome home;
    const std::string deep = home.Path("x/y/z");
    EXPECT_TRUE(CreateFolder(deep));
    EXPECT_TRUE(fs::is_directory(deep));

    // A trailing separator and doubled separators name the same folders.
    EXPECT_TRUE(CreateFolder(home.Path("p//q/")));
    EXPECT_TRUE(fs::is_directory(home.Path("p/q")));

    // Nothing missing: nothing to fail.
    EXPECT_TRUE(CreateFolder(deep));
    EXPECT_TRUE(CreateFolder(""));

    WriteFileBytes(home.Path("file"), "x");
    EXPECT_FALSE(CreateFolder(home.Path("file/sub")));
}

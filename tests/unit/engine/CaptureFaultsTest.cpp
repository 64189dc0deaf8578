// Capture when the serial device disappears during the run: what arrived before is in the
// file, and the run ends by itself or on the next stop, without hanging.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "HangupPty.h"
#include "RecordingHosts.h"
#include "TempHome.h"
#include "engine/InputCapture.h"

using namespace std::chrono_literals;

namespace {

bool WaitForFileSize(const std::string& path, std::size_t size) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadFileBytes(path).size() >= size) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

class CaptureFaultsTest : public TempHomeTest {};

}  // namespace

TEST_F(CaptureFaultsTest, ADeviceThatDisappearsKeepsEveryByteBeforeAndTheRunStillEnds) {
    HangupPty device;
    device.LinkAsComPort(5);
    OptionRecord options = MakeDefaultOptionRecord();
    options.inputComPort = 5;
    options.inputBaudRate = 115200;
    ASSERT_TRUE(SetCaptureFolder(options, home.Path("captures").c_str()));
    RecordingCaptureHost host;
    auto capture = std::make_unique<CInputCapture>(host);

    ASSERT_NE(capture->Start(options), 0u);
    ASSERT_TRUE(host.WaitForRunning(1));
    const std::string path = host.Files().at(0);
    std::string sent;
    for (int n = 0; n < 50; ++n) {
        const std::string chunk = "chunk " + std::to_string(n) + std::string(1, '\0') + "\r\n";
        device.Write(chunk);
        sent += chunk;
    }
    ASSERT_TRUE(WaitForFileSize(path, sent.size()));

    device.Hangup();
    // Ends by itself, or goes on until asked; either way the stop is honoured.
    std::this_thread::sleep_for(200ms);
    capture->RequestStop();
    ASSERT_TRUE(capture->WaitUntilEnded(30s)) << "the capture hung on the lost device";
    EXPECT_EQ(host.Ended().size(), 1u);
    EXPECT_EQ(ReadFileBytes(path), sent);
    EXPECT_TRUE(host.Messages().empty());

    // A new run on the same port name works once a device is back.
    HangupPty again;
    again.LinkAsComPort(5);
    ASSERT_NE(capture->Start(options), 0u);
    ASSERT_TRUE(host.WaitForRunning(2));
    again.Write("back\n");
    const std::string second = host.Files().at(1);
    ASSERT_TRUE(WaitForFileSize(second, 5));
    capture->RequestStop();
    ASSERT_TRUE(capture->WaitUntilEnded(30s));
    EXPECT_EQ(ReadFileBytes(second), "back\n");
}
